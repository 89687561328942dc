// How much disk space a set needs: the selected bytes of the description, the need per drive (the target
// and the Windows drive), the files already on the disk, drive letters and megabytes.
#include <gtest/gtest.h>

#include "web/space_check.h"

namespace {

TEST(SpaceCheck, SelectedBytesFromTheDescription) {
  RemoteDescription remote{};
  remote.discs[0].present[0] = 1;
  remote.discs[0].size[0] = 1000;
  remote.discs[0].present[1] = 1;
  remote.discs[0].size[1] = 2147483647;
  remote.discs[2].present[6] = 1;
  remote.discs[2].size[6] = 5;
  remote.discs[3].size[2] = 777;     // not present (not selected, or not on the disc): not counted
  remote.discs[4].present[3] = 1;
  remote.discs[4].size[3] = -40;     // a negative size counts as nothing
  EXPECT_EQ(SelectedSetBytes(remote), 1000u + 2147483647u + 5u);
}

TEST(SpaceCheck, NeedsPerDrive) {
  const uint64_t m = kSpaceMarginBytes;
  const struct {
    const char* what;
    char target, windows;
    uint64_t set, windowsBytes;
    int count;
    DriveNeed first, second;
  } kCases[] = {
      {"target is the Windows drive", 'C', 'C', 1000, 100, 1, {'C', 2000 + m}, {0, 0}},
      {"other drives", 'D', 'C', 1000, 100, 2, {'D', 1900 + m}, {'C', 100 + m}},
      {"Windows share unknown", 'D', 'C', 1000, 0, 2, {'D', 2000 + m}, {'C', m}},
      {"letters in either case", 'd', 'c', 10, 0, 2, {'D', 20 + m}, {'C', m}},
      {"same drive in another case", 'c', 'C', 10, 4, 1, {'C', 20 + m}, {0, 0}},
      {"Windows folder unknown", 'T', 0, 10, 4, 1, {'T', 16 + m}, {0, 0}},
      {"more Windows bytes than the set", 'D', 'C', 10, 50, 2, {'D', 10 + m}, {'C', 10 + m}},
      {"past 4 GB", 'T', 'C', 3000000000u, 0, 2, {'T', 6000000000u + m}, {'C', m}},
  };
  for (const auto& c : kCases) {
    DriveNeed needs[2] = {{'?', 1}, {'?', 1}};
    ASSERT_EQ(ComputeSpaceNeeds(c.target, c.windows, c.set, c.windowsBytes, SpaceOnDisk{}, needs), c.count) << c.what;
    EXPECT_EQ(needs[0].drive, c.first.drive) << c.what;
    EXPECT_EQ(needs[0].bytes, c.first.bytes) << c.what;
    if (c.count == 2) {
      EXPECT_EQ(needs[1].drive, c.second.drive) << c.what;
      EXPECT_EQ(needs[1].bytes, c.second.bytes) << c.what;
    }
  }
}

// A repeated run counts only what it writes: the files an earlier run staged or installed are kept or
// replaced in place, so each copy needs the set's bytes less those already on the target drive.
TEST(SpaceCheck, FilesAlreadyOnTheDiskNeedNoNewRoom) {
  const uint64_t m = kSpaceMarginBytes;
  const struct {
    const char* what;
    uint64_t set, windowsBytes, staged, installed;
    char windows;
    uint64_t target, windowsNeed;
  } kCases[] = {
      {"nothing there yet", 1000, 0, 0, 0, 'C', 2000 + m, m},
      {"a repair: all staged and installed", 1000, 0, 1000, 1000, 'C', m, m},
      {"staged whole, nothing installed", 1000, 0, 1000, 0, 'C', 1000 + m, m},
      {"half staged, half installed", 1000, 0, 500, 500, 'C', 1000 + m, m},
      {"a file grew: only the growth", 1000, 0, 990, 990, 'C', 20 + m, m},
      {"older files larger than the new ones: never below nothing", 1000, 0, 1500, 4000, 'C', m, m},
      {"Windows share stays on its drive", 1000, 100, 1000, 900, 'C', m, 100 + m},
      {"same drive as Windows", 1000, 100, 1000, 900, 'D', 100 + m, 0},
  };
  for (const auto& c : kCases) {
    DriveNeed needs[2] = {{'?', 1}, {'?', 1}};
    SpaceOnDisk onDisk;
    onDisk.staged = c.staged;
    onDisk.installed = c.installed;
    const int count = ComputeSpaceNeeds('D', c.windows, c.set, c.windowsBytes, onDisk, needs);
    EXPECT_EQ(needs[0].drive, 'D') << c.what;
    EXPECT_EQ(needs[0].bytes, c.target) << c.what;
    if (c.windows == 'D') {
      EXPECT_EQ(count, 1) << c.what;
    } else {
      ASSERT_EQ(count, 2) << c.what;
      EXPECT_EQ(needs[1].bytes, c.windowsNeed) << c.what;
    }
  }
}

TEST(SpaceCheck, DriveLettersAndMegabytes) {
  EXPECT_EQ(DriveOfPath("C:\\windows"), 'C');
  EXPECT_EQ(DriveOfPath("t:\\"), 'T');
  EXPECT_EQ(DriveOfPath("\\\\server\\share"), 0);
  EXPECT_EQ(DriveOfPath("1:\\x"), 0);
  EXPECT_EQ(DriveOfPath(""), 0);
  EXPECT_EQ(DriveOfPath(nullptr), 0);
  EXPECT_EQ(MegabytesUp(0), 0u);
  EXPECT_EQ(MegabytesUp(1), 1u);
  EXPECT_EQ(MegabytesUp(1048576), 1u);
  EXPECT_EQ(MegabytesUp(1048577), 2u);
  EXPECT_EQ(MegabytesDown(1048575), 0u);
  EXPECT_EQ(MegabytesDown(2097152), 2u);
}

}  // namespace
