// Where a file line's source and target land, and which targets the copy engine refuses to write.
#include <gtest/gtest.h>

#include <string>

#include "layout/description.h"
#include "layout/install_layout.h"

TEST(CopyPaths, SourceAndFileListBelowTheDiscFolder) {
  const char* staging = "T:\\V92Demo\\QuarnWin32\\Install\\";
  EXPECT_EQ(SourcePathOf(staging, 1, "\\QuarnWin32\\a.exe"),
            "T:\\V92Demo\\QuarnWin32\\Install\\Disc_01\\QuarnWin32\\a.exe");
  EXPECT_EQ(FileListPathOf(staging, 1), "T:\\V92Demo\\QuarnWin32\\Install\\Disc_01\\Fajls_1.ini");
  EXPECT_EQ(FileListPathOf(staging, 12), "T:\\V92Demo\\QuarnWin32\\Install\\Disc_12\\Fajls_12.ini");
}

TEST(CopyPaths, TargetsOfFileLines) {
  const std::string root = "T:\\V92Demo";
  struct Case {
    const char* line;
    const char* windowsFolder;
    const char* target;
    TargetCheck check;
  } cases[] = {
      {"\\a.exe \\QuarnWin32\\a.exe", "C:\\windows", "T:\\V92Demo\\QuarnWin32\\a.exe", TargetCheck::kOk},
      {"\\a.ttf *%\\Fonts\\a.ttf", "C:\\windows", "C:\\windows\\Fonts\\a.ttf", TargetCheck::kOk},
      {"\\a.ttf *?*%*-\\Fonts\\a b.ttf", "C:\\windows", "C:\\windows\\Fonts\\a b.ttf", TargetCheck::kOk},
      // an unknown modifier leaves its character in front of the path: it would land beside the root
      {"\\a.txt *x\\a.txt", "C:\\windows", "T:\\V92Demox\\a.txt", TargetCheck::kOutsideBase},
      {"\\a.dll *%a.dll", "C:\\windows", "C:\\windowsa.dll", TargetCheck::kOutsideBase},
      // an unknown modifier that happens to be a backslash still names a place inside the root
      {"\\a.txt *\\a.txt", "C:\\windows", "T:\\V92Demo\\a.txt", TargetCheck::kOk},
      {"\\a.txt /a.txt", "C:\\windows", "T:\\V92Demo/a.txt", TargetCheck::kOk},
      // no Windows folder known: "*%" has nothing to stand on
      {"\\a.ttf *%\\Fonts\\a.ttf", "", "\\Fonts\\a.ttf", TargetCheck::kNoBase},
      {"\\a.txt \\a.txt", "", "T:\\V92Demo\\a.txt", TargetCheck::kOk},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line);
    FileEntry e;
    FileLineStatus s = ParseFileLine(c.line, &e);
    ASSERT_TRUE(s == FileLineStatus::kOk || s == FileLineStatus::kBadModifier);
    std::string target = TargetPathOf(e, root, c.windowsFolder);
    EXPECT_EQ(target, c.target);
    EXPECT_EQ(CheckTarget(e, c.windowsFolder, target), c.check);
  }
}

TEST(CopyPaths, ParentSegmentsAndLengthsAreRefused) {
  FileEntry e;
  // The parser already flags ".." for the caller; the target check refuses it on its own as well.
  ASSERT_EQ(ParseFileLine("\\a.txt \\..\\..\\a.txt", &e), FileLineStatus::kUnsafePath);
  EXPECT_EQ(CheckTarget(e, "C:\\windows", TargetPathOf(e, "T:\\r", "C:\\windows")), TargetCheck::kOutsideBase);

  // 255 characters fit the buffer, 256 do not.
  const std::string root = "T:\\" + std::string(200, 'r');  // 203 characters
  std::string tail(51, 'x');                                 // "\" + 51 = 52: 255 in all
  ASSERT_EQ(ParseFileLine(("\\a.txt \\" + tail).c_str(), &e), FileLineStatus::kOk);
  std::string target = TargetPathOf(e, root, "C:\\windows");
  EXPECT_EQ(target.size(), 255u);
  EXPECT_EQ(CheckTarget(e, "C:\\windows", target), TargetCheck::kOk);
  ASSERT_EQ(ParseFileLine(("\\a.txt \\" + tail + "y").c_str(), &e), FileLineStatus::kOk);
  target = TargetPathOf(e, root, "C:\\windows");
  EXPECT_EQ(target.size(), 256u);
  EXPECT_EQ(CheckTarget(e, "C:\\windows", target), TargetCheck::kTooLong);
  EXPECT_FALSE(FitsPathBuffer(SourcePathOf(("T:\\" + std::string(240, 's') + "\\").c_str(), 1, "\\abcdefgh")));
  EXPECT_TRUE(FitsPathBuffer(SourcePathOf(("T:\\" + std::string(235, 's') + "\\").c_str(), 1, "\\abcdefgh")));
}
