// The data the font, file type and shortcut steps carry out: font paths, registry writes, link paths.
#include <gtest/gtest.h>

#include <string>

#include "install/file_types.h"
#include "install/fonts.h"
#include "install/shortcut.h"

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

namespace {
std::string Describe(const DefaultValueWrite* w, int n) {
  std::string s;
  for (int i = 0; i < n; ++i) s += std::string(w[i].keyPath) + " = " + w[i].text + "\n";
  return s;
}
}  // namespace

TEST(FileTypeWrites, FollowTheFourKeysOfAnEntry) {
  const char* folder = "T:\\V92Demo\\QuarnWin32\\";
  struct Case {
    const char* exe;
    const char* icon;
    const char* expected;
  } cases[] = {
      {"QuarnWin32.exe %1", "QuarnDoc.ico",
       "Software\\Classes\\.qdw = QuarnDrawing\n"
       "Software\\Classes\\QuarnDrawing = QuarnDrawing\n"
       "Software\\Classes\\QuarnDrawing\\Shell\\Open\\Command = T:\\V92Demo\\QuarnWin32\\QuarnWin32.exe %1\n"
       "Software\\Classes\\QuarnDrawing\\DefaultIcon = T:\\V92Demo\\QuarnWin32\\QuarnDoc.ico\n"},
      {"QuarnWin32.exe", nullptr,
       "Software\\Classes\\.qdw = QuarnDrawing\n"
       "Software\\Classes\\QuarnDrawing = QuarnDrawing\n"
       "Software\\Classes\\QuarnDrawing\\Shell\\Open\\Command = T:\\V92Demo\\QuarnWin32\\QuarnWin32.exe\n"},
      // An icon without an open command is not written.
      {nullptr, "QuarnDoc.ico",
       "Software\\Classes\\.qdw = QuarnDrawing\n"
       "Software\\Classes\\QuarnDrawing = QuarnDrawing\n"},
  };
  for (const Case& c : cases) {
    DefaultValueWrite w[kMaxFileTypeWrites];
    int n = PlanFileTypeWrites(folder, ".qdw", "QuarnDrawing", c.exe, c.icon, w);
    EXPECT_EQ(Describe(w, n), c.expected);
  }
}

TEST(FileTypeWrites, OpenCommandQuotesAProgramPathWithABlank) {
  struct Case {
    const char* folder;
    const char* exe;
    const char* command;
  } cases[] = {
      // Without a blank the command stays byte for byte as it always was.
      {"T:\\V92Demo\\QuarnWin32\\", "QuarnWin32.exe %1", "T:\\V92Demo\\QuarnWin32\\QuarnWin32.exe %1"},
      // The program's path is quoted, its arguments follow as they are.
      {"C:\\Quarn Acc\\QuarnWin32\\", "QuarnWin32.exe %1", "\"C:\\Quarn Acc\\QuarnWin32\\QuarnWin32.exe\" %1"},
      {"C:\\Quarn Acc\\QuarnWin32\\", "QuarnWin32.exe", "\"C:\\Quarn Acc\\QuarnWin32\\QuarnWin32.exe\""},
      {"C:\\Quarn Acc\\QuarnWin32\\", "Bin\\Q.exe /o \"%1\"", "\"C:\\Quarn Acc\\QuarnWin32\\Bin\\Q.exe\" /o \"%1\""},
      // A value quoting itself is left alone.
      {"C:\\Quarn Acc\\QuarnWin32\\", "\"Q.exe\" %1", "C:\\Quarn Acc\\QuarnWin32\\\"Q.exe\" %1"},
  };
  for (const Case& c : cases) {
    DefaultValueWrite w[kMaxFileTypeWrites];
    int n = PlanFileTypeWrites(c.folder, ".qdw", "C", c.exe, nullptr, w);
    ASSERT_EQ(n, 3) << c.exe;
    EXPECT_STREQ(w[2].keyPath, "Software\\Classes\\C\\Shell\\Open\\Command");
    EXPECT_STREQ(w[2].text, c.command) << c.folder << c.exe;
  }
  // With the two quotes the command no longer fits: it is left out, not cut.
  std::string folder = "C:\\" + std::string(200, 'a') + " b\\QuarnWin32\\";
  std::string exe(255 - folder.size() - 1, 'e');
  DefaultValueWrite w[kMaxFileTypeWrites];
  EXPECT_EQ(PlanFileTypeWrites(folder.c_str(), ".qdw", "C", exe.c_str(), nullptr, w), 2);
}

TEST(FileTypeWrites, LeaveOutWhatWouldBeCut) {
  // A class name of 230 characters fits as a key but not with "\Shell\Open\Command" appended; an open
  // command too long for its buffer is left out, not cut to a different command.
  std::string longClass(230, 'c');
  DefaultValueWrite w[kMaxFileTypeWrites];
  int n = PlanFileTypeWrites("T:\\R\\QuarnWin32\\", ".qdw", longClass.c_str(), "Q.exe", "Q.ico", w);
  ASSERT_EQ(n, 2) << Describe(w, n);
  EXPECT_EQ(std::string(w[1].keyPath), "Software\\Classes\\" + longClass);

  std::string longExe(250, 'e');
  n = PlanFileTypeWrites("T:\\R\\QuarnWin32\\", ".qdw", "C", longExe.c_str(), "Q.ico", w);
  EXPECT_EQ(Describe(w, n),
            "Software\\Classes\\.qdw = C\nSoftware\\Classes\\C = C\n"
            "Software\\Classes\\C\\DefaultIcon = T:\\R\\QuarnWin32\\Q.ico\n");
}

TEST(DesktopShortcut, LinkNamedAfterTheGroupPointsAtTheProgram) {
  ShortcutPlan p;
  ASSERT_TRUE(PlanDesktopShortcut("C:\\users\\u\\Desktop", "T:\\V92Demo\\QuarnWin32\\", "QuarnCAD Demo,1", &p));
  EXPECT_STREQ(p.linkPath, "C:\\users\\u\\Desktop\\QuarnCAD Demo,1.lnk");
  EXPECT_STREQ(p.workingFolder, "T:\\V92Demo\\QuarnWin32");
  EXPECT_STREQ(p.targetPath, "T:\\V92Demo\\QuarnWin32\\QuarnWin32.exe");
}

TEST(DesktopShortcut, RefusesNamesThatLeaveTheDesktop) {
  struct Case {
    const char* name;
    bool ok;
  } cases[] = {
      {"QuarnCAD", true},       {"Quarn CAD 9.2, 1", true}, {"..Quarn", true},
      {"", false},              {".", false},               {"..", false},
      {"..\\Startup\\Q", false}, {"a/b", false},             {"Quarn: Demo", false},
  };
  for (const Case& c : cases) {
    ShortcutPlan p;
    EXPECT_EQ(IsPlainLinkName(c.name), c.ok) << c.name;
    EXPECT_EQ(PlanDesktopShortcut("C:\\D", "C:\\R\\QuarnWin32\\", c.name, &p), c.ok) << c.name;
  }
  ShortcutPlan p;
  // The program folder at the buffer's limit leaves no room for the program's name.
  EXPECT_FALSE(PlanDesktopShortcut("C:\\D", ("C:\\" + std::string(240, 'r') + "\\QuarnWin32\\").c_str(), "Q", &p));
  EXPECT_FALSE(PlanDesktopShortcut("C:\\D", "", "Q", &p));
}
