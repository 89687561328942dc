// The installed system's command line: the one path, unquoted, no arguments.
#include <gtest/gtest.h>

#include "layout/install_layout.h"

TEST(InstalledSystemCommandLine, PathOfTheMainProgram) {
  struct Case {
    int drive;
    const char* root;
    const char* want;
  } cases[] = {
      {3, "V92Demo", "C:\\V92Demo\\QuarnWin32\\QuarnWin32.exe"},
      {1, "R", "A:\\R\\QuarnWin32\\QuarnWin32.exe"},
      {26, "R", "Z:\\R\\QuarnWin32\\QuarnWin32.exe"},
      // Blanks stay as they are, without quotes: the whole text is the command line.
      {20, "Quarn Demo 9", "T:\\Quarn Demo 9\\QuarnWin32\\QuarnWin32.exe"},
      // Code page 1250 bytes pass through ("Próba").
      {4, "Pr\xf3" "ba", "D:\\Pr\xf3" "ba\\QuarnWin32\\QuarnWin32.exe"},
      // No drive letter to build a path from.
      {0, "V92Demo", ""},
      {27, "V92Demo", ""},
      {-1, "V92Demo", ""},
  };
  for (const Case& c : cases) EXPECT_EQ(InstalledSystemCommandLine(c.drive, c.root), c.want) << c.drive << " " << c.root;
  EXPECT_EQ(InstalledSystemCommandLine(3, nullptr), "");
}

TEST(InstalledSystemCommandLine, LongRootIsNotCut) {
  // The root name may take the whole 255 characters; the command line still names the program.
  const std::string root(255, 'r');
  const std::string line = InstalledSystemCommandLine(3, root.c_str());
  EXPECT_EQ(line, "C:\\" + root + "\\QuarnWin32\\QuarnWin32.exe");
}
