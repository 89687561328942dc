// The sizes of the selected parts per disc, read from Install.ini's disc sections, and the total the
// progress display counts to.
#include "web/disc_sizes.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "layout/description.h"

namespace {

struct SizesCase {
  const char* name;
  const char* ini;
  std::vector<int> selected;  // parts selected
  int disc;                   // a disc to look at (1-based)
  int part;
  int32_t present;
  int32_t size;
  int32_t total;
};

void PrintTo(const SizesCase& c, std::ostream* os) { *os << c.name; }

class DiscSizes : public ::testing::TestWithParam<SizesCase> {};

TEST_P(DiscSizes, ReadsSelectedPresentPartsAndCountsEveryByteTwice) {
  const SizesCase& c = GetParam();
  int32_t selected[kPartCount] = {};
  for (int p : c.selected) selected[p] = 1;
  RemoteDescription remote;
  const std::string ini = c.ini;
  ReadDiscSizes(ini.data(), static_cast<int>(ini.size()), selected, &remote);
  EXPECT_EQ(remote.discs[c.disc - 1].present[c.part], c.present);
  EXPECT_EQ(remote.discs[c.disc - 1].size[c.part], c.size);
  EXPECT_EQ(remote.overallTotal, c.total);
}

const SizesCase kSizesCases[] = {
    {"TwoDiscsSummedTwice", "[Disc01]\r\nSetup=100\r\nSystems=20\r\n[Disc02]\r\nSetup=3\r\n", {kSetup, kSystems}, 2,
     kSetup, 1, 3, 246},
    {"UnselectedPartIsNeitherPresentNorCounted", "[Disc01]\r\nSetup=100\r\nHelp=50\r\n", {kSetup}, 1, kHelp, 0, 0,
     200},
    {"StarValueIsAbsent", "[Disc01]\r\nSetup=*100\r\nHelp=7\r\n", {kSetup, kHelp}, 1, kSetup, 0, 0, 14},
    {"MissingKeyIsAbsent", "[Disc01]\r\nHelp=7\r\n", {kSetup, kHelp}, 1, kSetup, 0, 0, 14},
    {"EmptyValueIsPresentAndZero", "[Disc01]\r\nSetup=\r\nHelp=7\r\n", {kSetup, kHelp}, 1, kSetup, 1, 0, 14},
    {"DiscWithoutSectionIsSkipped", "[Disc03]\r\nDrawings=5\r\n", {kDrawings}, 2, kDrawings, 0, 0, 10},
    {"LastDiscIsRead", "[Disc15]\r\nDatas=9\r\n", {kDatas}, 15, kDatas, 1, 9, 18},
    {"SectionNameNeedsTwoDigits", "[Disc1]\r\nSetup=9\r\n", {kSetup}, 1, kSetup, 0, 0, 0},
    {"NumberStopsAtFirstNonDigit", "[Disc01]\r\nSetup= 12abc\r\n", {kSetup}, 1, kSetup, 1, 12, 24},
    {"NegativeSizeIsKeptAsWritten", "[Disc01]\r\nSetup=-5\r\nHelp=8\r\n", {kSetup, kHelp}, 1, kSetup, 1, -5, 6},
    // 2,000,000,000 twice does not fit 32 bits: the total stops at the largest value instead of wrapping.
    {"TotalSaturatesAt32Bits", "[Disc01]\r\nSetup=2000000000\r\n", {kSetup}, 1, kSetup, 1, 2000000000, INT32_MAX},
    {"LinesEndOnlyAtCrLf", "[Disc01]\nSetup=4\n", {kSetup}, 1, kSetup, 0, 0, 0},
    {"EmptyText", "", {kSetup}, 1, kSetup, 0, 0, 0},
};

INSTANTIATE_TEST_SUITE_P(Table, DiscSizes, ::testing::ValuesIn(kSizesCases),
                         [](const ::testing::TestParamInfo<SizesCase>& info) { return std::string(info.param.name); });

// A record the text says nothing of keeps what it held (the worker starts every run with empty records).
TEST(DiscSizes, RecordsTheTextDoesNotNameAreLeftAlone) {
  int32_t selected[kPartCount] = {};
  selected[kSetup] = 1;
  RemoteDescription remote;
  remote.discs[4].present[kSetup] = 1;
  remote.discs[4].size[kSetup] = 77;
  const std::string ini = "[Disc01]\r\nSetup=1\r\n";
  ReadDiscSizes(ini.data(), static_cast<int>(ini.size()), selected, &remote);
  EXPECT_EQ(remote.discs[4].size[kSetup], 77);
  EXPECT_EQ(remote.discs[0].size[kSetup], 1);
  EXPECT_EQ(remote.overallTotal, 2);
}

}  // namespace
