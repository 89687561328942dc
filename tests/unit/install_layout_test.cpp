// The paths of an installation, refused rather than cut: the root folder and the run's folders filled
// from it, the subfolders the description names, the staging folder and where the staged set files and the
// disc lists land, where a file line's target lands and which targets the copy engine refuses to write,
// the installed system's command line (the one path, unquoted, no arguments), and a font's path inside the
// fonts folder.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "layout/description.h"
#include "layout/install_layout.h"

TEST(RootFolderPath, DriveLetterColonBackslashName) {
  char out[256];
  ASSERT_TRUE(BuildRootFolderPath(20, "V92Demo", out, sizeof out));
  EXPECT_STREQ(out, "T:\\V92Demo");
  ASSERT_TRUE(BuildRootFolderPath(1, "x", out, sizeof out));
  EXPECT_STREQ(out, "A:\\x");
  ASSERT_TRUE(BuildRootFolderPath(26, "x", out, sizeof out));
  EXPECT_STREQ(out, "Z:\\x");
}

TEST(RootFolderPath, RefusesBadDriveBadNameAndOverlongPath) {
  char out[256] = "old";
  EXPECT_FALSE(BuildRootFolderPath(0, "V92Demo", out, sizeof out));
  EXPECT_STREQ(out, "");
  EXPECT_FALSE(BuildRootFolderPath(27, "V92Demo", out, sizeof out));
  EXPECT_FALSE(BuildRootFolderPath(3, "..", out, sizeof out));
  // 3 bytes of "C:\" + 252 characters + terminator = 256 fits exactly; one more does not.
  std::string name(252, 'n');
  ASSERT_TRUE(BuildRootFolderPath(3, name.c_str(), out, sizeof out));
  EXPECT_EQ(std::string(out), "C:\\" + name);
  name += 'n';
  EXPECT_FALSE(BuildRootFolderPath(3, name.c_str(), out, sizeof out));
  EXPECT_STREQ(out, "");
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

TEST(SubfolderPath, RootPlusValueUnchanged) {
  struct Case {
    const char* value;
    const char* path;  // nullptr: refused
  } const cases[] = {
      {"\\QuarnWin32", "T:\\V92Demo\\QuarnWin32"},
      {"\\QuarnWin32\\Minta rajzok", "T:\\V92Demo\\QuarnWin32\\Minta rajzok"},
      {"\\QuarnWin32\\", "T:\\V92Demo\\QuarnWin32\\"},
      {"\\a.b\\.c\\d..e", "T:\\V92Demo\\a.b\\.c\\d..e"},
      {"QuarnWin32", nullptr},           // no leading backslash: a sibling of the root folder
      {"", nullptr},
      {"\\..", nullptr},                 // climbs out of the root folder
      {"\\QuarnWin32\\..\\..\\Windows", nullptr},
      {"\\QuarnWin32/../../Windows", nullptr},
      {"\\x\\...\\y", nullptr},          // Windows strips the trailing dots: ".." again
      {"\\x\\.. \\y", nullptr},
      {"\\.", nullptr},
  };
  for (const Case& c : cases) {
    char out[256] = "old";
    bool ok = BuildSubfolderPath("T:\\V92Demo", c.value, out, sizeof out);
    if (c.path) {
      EXPECT_TRUE(ok) << c.value;
      EXPECT_STREQ(out, c.path) << c.value;
    } else {
      EXPECT_FALSE(ok) << c.value;
      EXPECT_STREQ(out, "") << c.value;
    }
  }
}

TEST(SubfolderPath, RefusesAPathThatWouldBeCut) {
  const std::string root = "T:\\V92Demo";  // 10 characters
  std::string value = "\\" + std::string(244, 'd');  // 10 + 245 = 255 characters: fits
  char out[256];
  ASSERT_TRUE(BuildSubfolderPath(root.c_str(), value.c_str(), out, sizeof out));
  EXPECT_EQ(std::string(out), root + value);
  value += 'd';
  EXPECT_FALSE(BuildSubfolderPath(root.c_str(), value.c_str(), out, sizeof out));
  EXPECT_STREQ(out, "");
}

TEST(StagingPaths, DiscFolderAndFile) {
  char path[256];
  ASSERT_TRUE(FormStagingPath("T:\\V92Demo\\QuarnWin32\\Install\\", "Disc_01", "Install.ini", path,
                              sizeof path));
  EXPECT_STREQ(path, "T:\\V92Demo\\QuarnWin32\\Install\\Disc_01\\Install.ini");
  ASSERT_TRUE(FormStagingPath("T:\\V92Demo\\QuarnWin32\\Install\\", "Disc_02", nullptr, path,
                              sizeof path));
  EXPECT_STREQ(path, "T:\\V92Demo\\QuarnWin32\\Install\\Disc_02");
  ASSERT_TRUE(FormStagingPath("C:\\R\\QuarnWin32\\Install\\", "Disc_01", "Help\\a.hlp", path,
                              sizeof path));
  EXPECT_STREQ(path, "C:\\R\\QuarnWin32\\Install\\Disc_01\\Help\\a.hlp");
  std::string folder = "C:\\" + std::string(240, 'r') + "\\";
  EXPECT_FALSE(FormStagingPath(folder.c_str(), "Disc_01", "Install.ini", path, sizeof path));
}

TEST(StagingPaths, BelowTheProgramFolder) {
  char out[256];
  ASSERT_TRUE(BuildStagingFolderPath("T:\\V92Demo\\QuarnWin32\\", out, sizeof out));
  EXPECT_STREQ(out, "T:\\V92Demo\\QuarnWin32\\Install\\");
  ASSERT_TRUE(BuildDescriptionPath("T:\\V92Demo\\QuarnWin32\\", out, sizeof out));
  EXPECT_STREQ(out, "T:\\V92Demo\\QuarnWin32\\Install\\Disc_01\\Install.ini");
}

TEST(StagingPaths, APathThatDoesNotFitIsRefusedNotCut) {
  // "Install\Disc_01\Install.ini" is 27 characters: a program folder of 228 fits exactly in 256 bytes.
  std::string program(227, 'p');
  program += '\\';
  char out[256] = "old";
  ASSERT_TRUE(BuildDescriptionPath(program.c_str(), out, sizeof out));
  EXPECT_EQ(std::string(out).size(), 255u);
  program.insert(0, "p");
  EXPECT_FALSE(BuildDescriptionPath(program.c_str(), out, sizeof out));
  EXPECT_STREQ(out, "");
  std::string longFolder(250, 'q');
  EXPECT_FALSE(BuildStagingFolderPath(longFolder.c_str(), out, sizeof out));
  EXPECT_STREQ(out, "");
}

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

TEST(FontPath, StaysInsideTheFontsFolder) {
  struct Case {
    const char* file;
    bool ok;
    const char* path;
  } cases[] = {
      {"QuarnIso.ttf", true, "C:\\windows\\Fonts\\QuarnIso.ttf"},
      {"Quarn Iso 2.ttf", true, "C:\\windows\\Fonts\\Quarn Iso 2.ttf"},
      {"a..b.ttf", true, "C:\\windows\\Fonts\\a..b.ttf"},
      {"Sub\\Q.ttf", true, "C:\\windows\\Fonts\\Sub\\Q.ttf"},
      {"", false, ""},
      {"..\\system32\\evil.ttf", false, ""},
      {"Sub\\..\\..\\evil.ttf", false, ""},
      {"../evil.ttf", false, ""},
      {"\\evil.ttf", false, ""},
      {"C:\\evil.ttf", false, ""},
      {"..", false, ""},
      {"Sub\\.. \\evil.ttf", false, ""},  // Windows drops the blank: still a climb
  };
  for (const Case& c : cases) {
    char out[256] = "x";
    EXPECT_EQ(BuildFontPath("C:\\windows", c.file, out, sizeof out), c.ok) << c.file;
    EXPECT_STREQ(out, c.path) << c.file;
  }
  char out[256];
  EXPECT_FALSE(BuildFontPath("C:\\windows", std::string(240, 'f').c_str(), out, sizeof out));
}
