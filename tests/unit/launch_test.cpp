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
      // No drive letter to build a path from: no folders, so no command line.
      {0, "V92Demo", ""},
      {27, "V92Demo", ""},
      {-1, "V92Demo", ""},
  };
  for (const Case& c : cases) {
    RunPaths paths;
    FillRunFolders(c.drive, c.root, &paths);
    EXPECT_EQ(InstalledSystemCommandLine(paths.programFolder), c.want) << c.drive << " " << c.root;
  }
  EXPECT_EQ(InstalledSystemCommandLine(nullptr), "");
}

TEST(InstalledSystemCommandLine, LongProgramFolderIsNotCut) {
  // The program folder may take the whole 255 characters; the command line still names the program.
  const std::string program = "C:\\" + std::string(240, 'r') + "\\QuarnWin32\\";
  ASSERT_EQ(program.size(), 255u);
  EXPECT_EQ(InstalledSystemCommandLine(program.c_str()), program + "QuarnWin32.exe");
}
