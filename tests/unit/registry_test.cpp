#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "install/registry.h"
#include "layout/install_layout.h"

TEST(InstalledTime, FormatsYearMonthDayAndTimeWithLeadingZeros) {
  struct Case {
    int y, mo, d, h, mi, s;
    const char* expected;
  } cases[] = {
      {2026, 12, 7, 9, 5, 3, "2026.12.07. 09:05:03"},
      {2026, 1, 1, 0, 0, 0, "2026.01.01. 00:00:00"},
      {1999, 12, 31, 23, 59, 59, "1999.12.31. 23:59:59"},
      {999, 10, 10, 10, 10, 10, "999.10.10. 10:10:10"},    // the year has no fixed width
      {30827, 12, 31, 23, 59, 59, "30827.12.31. 23:59:59"},  // the largest year the clock gives
  };
  for (const Case& c : cases) {
    char out[64];
    ASSERT_TRUE(FormatInstalledTime(c.y, c.mo, c.d, c.h, c.mi, c.s, out, sizeof out)) << c.expected;
    EXPECT_STREQ(out, c.expected);
  }
}

TEST(InstalledTime, ReportsABufferTooSmallAndStaysTerminated) {
  char out[21];  // "2026.12.07. 09:05:03" needs 21 bytes
  EXPECT_TRUE(FormatInstalledTime(2026, 12, 7, 9, 5, 3, out, sizeof out));
  char small[20];
  memset(small, 'x', sizeof small);
  EXPECT_FALSE(FormatInstalledTime(2026, 12, 7, 9, 5, 3, small, sizeof small));
  EXPECT_EQ(strlen(small), sizeof small - 1);
}

TEST(RecordKey, IsBelowTheMakersKeyOrNotWrittenWhenTooLong) {
  char out[256];
  ASSERT_TRUE(BuildRecordKeyPath("QuarnCAD", out, sizeof out));
  EXPECT_STREQ(out, "Software\\QuarnSoft\\QuarnCAD");
  ASSERT_TRUE(BuildRecordKeyPath("Quarn CAD, 9.2", out, sizeof out));  // taken whole
  EXPECT_STREQ(out, "Software\\QuarnSoft\\Quarn CAD, 9.2");
  // 19 bytes of prefix + 236 = 255 characters fit exactly; one more would be cut, so it is refused.
  EXPECT_TRUE(BuildRecordKeyPath(std::string(236, 'a').c_str(), out, sizeof out));
  EXPECT_FALSE(BuildRecordKeyPath(std::string(237, 'a').c_str(), out, sizeof out));
}

TEST(RootFolder, IsDriveLetterColonBackslashRoot) {
  struct Case {
    int drive;
    const char* root;
    bool ok;
    const char* folder;
    const char* program;
  } cases[] = {
      {1, "V92Demo", true, "A:\\V92Demo", "A:\\V92Demo\\QuarnWin32\\"},
      {20, "Quarn Demo", true, "T:\\Quarn Demo", "T:\\Quarn Demo\\QuarnWin32\\"},
      {26, "X", true, "Z:\\X", "Z:\\X\\QuarnWin32\\"},
      {0, "X", false, "", ""},  // no drive chosen
      {27, "X", false, "", ""},
  };
  for (const Case& c : cases) {
    char folder[256];
    RunPaths paths;
    EXPECT_EQ(BuildRootFolderPath(c.drive, c.root, folder, sizeof folder), c.ok) << c.drive;
    EXPECT_EQ(FillRunFolders(c.drive, c.root, &paths), c.ok) << c.drive;
    EXPECT_STREQ(paths.rootFolder, c.folder);
    EXPECT_STREQ(paths.programFolder, c.program);
    if (c.ok) {
      EXPECT_STREQ(folder, c.folder);
      EXPECT_EQ(std::string(paths.stagingFolder), std::string(c.program) + "Install\\");
    }
  }
}

TEST(RootFolder, RunFoldersFitTheBufferOrAreAllEmpty) {
  // The staging folder "C:\" + root + "\QuarnWin32\Install\" is the longest: 255 characters with a root of
  // 232, the buffer's limit. One more leaves all three empty, never a cut path.
  RunPaths paths;
  ASSERT_TRUE(FillRunFolders(3, std::string(232, 'r').c_str(), &paths));
  EXPECT_EQ(strlen(paths.stagingFolder), 255u);
  EXPECT_FALSE(FillRunFolders(3, std::string(233, 'r').c_str(), &paths));
  EXPECT_STREQ(paths.rootFolder, "");
  EXPECT_STREQ(paths.programFolder, "");
  EXPECT_STREQ(paths.stagingFolder, "");
  EXPECT_FALSE(FillRunFolders(3, nullptr, &paths));
}
