// The probe of the update folder: the maker's two marker lines, in order, each at a line start and ended by
// CR LF; Cancel seen at a line end; only the bytes that arrived count.
#include <gtest/gtest.h>

#include <atomic>
#include <string>

#include "unit/case_name.h"
#include "web/probe.h"

namespace {

const std::string kHeader = "QuarnCAD WEB update system: V9.21";
const std::string kCopyright = "QuarnSoft Ltd. 1992-2019.";

struct ProbeCase {
  const char* name;
  std::string text;
  ProbeVerdict verdict;
};

void PrintTo(const ProbeCase& c, std::ostream* os) { PrintCaseName(c.name, os); }

const ProbeCase kProbeCases[] = {
    {"both markers in order", kHeader + "\r\n" + kCopyright + "\r\n", ProbeVerdict::kAccepted},
    {"markers with text after them and lines between",
     "[Update]\r\n" + kHeader + " build 7\r\nx\r\n\r\n" + kCopyright + " All rights.\r\nmore\r\n",
     ProbeVerdict::kAccepted},
    {"wrong order", kCopyright + "\r\n" + kHeader + "\r\n", ProbeVerdict::kRejected},
    {"copyright twice around the header", kCopyright + "\r\n" + kHeader + "\r\n" + kCopyright + "\r\n",
     ProbeVerdict::kAccepted},
    {"last marker without CR LF", kHeader + "\r\n" + kCopyright, ProbeVerdict::kRejected},
    {"header only", kHeader + "\r\n", ProbeVerdict::kRejected},
    {"copyright only", kCopyright + "\r\n", ProbeVerdict::kRejected},
    {"LF line ends", kHeader + "\n" + kCopyright + "\n", ProbeVerdict::kRejected},
    {"other version", "QuarnCAD WEB update system: V9.20\r\n" + kCopyright + "\r\n",
     ProbeVerdict::kRejected},
    {"marker not at line start", " " + kHeader + "\r\n" + kCopyright + "\r\n", ProbeVerdict::kRejected},
    {"marker cut short", kHeader + "\r\nQuarnSoft Ltd. 1992-2019\r\n", ProbeVerdict::kRejected},
    {"case differs", kHeader + "\r\nquarnsoft Ltd. 1992-2019.\r\n", ProbeVerdict::kRejected},
    {"both on one line", kHeader + kCopyright + "\r\n", ProbeVerdict::kRejected},
    {"long lines before the markers", std::string(300, 'x') + "\r\n" + kHeader + "\r\n" + kCopyright +
     "\r\n", ProbeVerdict::kAccepted},
    {"empty", "", ProbeVerdict::kRejected},
};

class ProbeTable : public ::testing::TestWithParam<ProbeCase> {};

TEST_P(ProbeTable, Verdict) {
  std::atomic<int32_t> cancel{0};
  const ProbeCase& c = GetParam();
  EXPECT_EQ(ScanProbeText(c.text.data(), static_cast<int>(c.text.size()), cancel), c.verdict);
}

INSTANTIATE_TEST_SUITE_P(Cases, ProbeTable, ::testing::ValuesIn(kProbeCases), CaseNameOf());

TEST(ProbeScan, CancelStopsAtTheFirstLineEnd) {
  std::atomic<int32_t> cancel{1};
  std::string good = kHeader + "\r\n" + kCopyright + "\r\n";
  EXPECT_EQ(ScanProbeText(good.data(), static_cast<int>(good.size()), cancel), ProbeVerdict::kCancelled);
  // A text with no complete line has no line end to test cancel at.
  std::string partial = kHeader;
  EXPECT_EQ(ScanProbeText(partial.data(), static_cast<int>(partial.size()), cancel),
            ProbeVerdict::kRejected);
}

TEST(ProbeScan, OnlyTheBytesGivenCount) {
  std::atomic<int32_t> cancel{0};
  std::string good = kHeader + "\r\n" + kCopyright + "\r\n";
  // A short read: the probe scans what arrived; the copyright line lost its CR LF.
  EXPECT_EQ(ScanProbeText(good.data(), static_cast<int>(good.size()) - 1, cancel),
            ProbeVerdict::kRejected);
  EXPECT_EQ(ScanProbeText(good.data(), static_cast<int>(good.size()), cancel), ProbeVerdict::kAccepted);
}

}  // namespace
