// The description value rules: numbers, absent values, names, file lines, Program Manager commands.
#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <string>

#include "layout/description.h"

TEST(DescriptionNumber, FollowsTheDecimalRules) {
  struct Case {
    const char* text;
    int32_t want;
  } cases[] = {
      {"12", 12},           {"12abc", 12},        {"  42", 42},          {"\t 7", 7},
      {"-5", -5},           {"+5", 5},            {" -0012x", -12},      {"", 0},
      {"abc", 0},           {"-", 0},             {"+ 5", 0},            {"1 2", 1},
      {"2147483647", INT32_MAX},                  {"2147483648", INT32_MAX},
      {"99999999999999999999", INT32_MAX},        {"-2147483648", INT32_MIN},
      {"-99999999999999999999", INT32_MIN},       {"0x10", 0},
  };
  for (const Case& c : cases) EXPECT_EQ(ParseDescriptionNumber(c.text), c.want) << '"' << c.text << '"';
  EXPECT_EQ(ParseDescriptionNumber(nullptr), 0);
}

TEST(DescriptionValue, AStarInFrontMeansAbsent) {
  EXPECT_TRUE(IsAbsentValue(kAbsentValue));
  EXPECT_TRUE(IsAbsentValue("*anything after it"));
  EXPECT_TRUE(IsAbsentValue("**"));
  EXPECT_TRUE(IsAbsentValue(nullptr));
  EXPECT_FALSE(IsAbsentValue(""));
  EXPECT_FALSE(IsAbsentValue(" *"));
  EXPECT_FALSE(IsAbsentValue("V92Demo*"));
}

TEST(DescriptionNames, SectionsFoldersListsAndKeys) {
  EXPECT_EQ(DiscSectionName(1), "Disc01");
  EXPECT_EQ(DiscSectionName(15), "Disc15");
  EXPECT_EQ(DiscFolderName(3), "Disc_03");
  EXPECT_EQ(DiscFolderName(12), "Disc_12");
  EXPECT_EQ(FileListName(3), "Fajls_3.ini");
  EXPECT_EQ(FileListName(15), "Fajls_15.ini");
  EXPECT_EQ(NumberedKey("File", 1), "File1");
  EXPECT_EQ(NumberedKey("Command", 10), "Command10");
  EXPECT_STREQ(kPartNames[kSetup], "Setup");
  EXPECT_STREQ(kPartNames[kDatas], "Datas");
  EXPECT_STREQ(kPartNames[kHelp], "Help");
}

namespace {
const char* Name(FileLineStatus s) {
  switch (s) {
    case FileLineStatus::kOk: return "ok";
    case FileLineStatus::kBadModifier: return "bad-modifier";
    case FileLineStatus::kUnsafePath: return "unsafe";
    case FileLineStatus::kMalformed: return "malformed";
  }
  return "?";
}
}  // namespace

TEST(FileLine, PiecesPoliciesAndBases) {
  using P = ReplacePolicy;
  using B = TargetBase;
  using S = FileLineStatus;
  struct Case {
    const char* line;
    S status;
    const char* source;
    P policy;
    B base;
    const char* target;
    const char* code;
  } cases[] = {
      // separators: one blank, a comma, a comma and several blanks, several blanks, a tab
      {"\\A\\x.dwg \\QuarnWin32\\x.dwg", S::kOk, "\\A\\x.dwg", P::kReplace, B::kRoot, "\\QuarnWin32\\x.dwg",
       "\\QuarnWin32\\x.dwg"},
      {"\\a.exe,\\Q\\a.exe", S::kOk, "\\a.exe", P::kReplace, B::kRoot, "\\Q\\a.exe", "\\Q\\a.exe"},
      {"\\a.exe,    \\Q\\a.exe", S::kOk, "\\a.exe", P::kReplace, B::kRoot, "\\Q\\a.exe", "\\Q\\a.exe"},
      {"\\a.exe    \\Q\\a.exe", S::kOk, "\\a.exe", P::kReplace, B::kRoot, "\\Q\\a.exe", "\\Q\\a.exe"},
      {"\\a.exe\t\\Q\\a.exe", S::kOk, "\\a.exe", P::kReplace, B::kRoot, "\\Q\\a.exe", "\\Q\\a.exe"},
      // only one blank or comma separates: a second comma already belongs to the target code
      {"\\a.exe ,\\Q", S::kOk, "\\a.exe", P::kReplace, B::kRoot, ",\\Q", ",\\Q"},
      // the target path runs to the end of the value, blanks included
      {"\\r.txt \\Minta rajzok\\olvass el.txt", S::kOk, "\\r.txt", P::kReplace, B::kRoot,
       "\\Minta rajzok\\olvass el.txt", "\\Minta rajzok\\olvass el.txt"},
      // modifiers in every order; keep beats ask either way round
      {"\\s.ini *?\\s.ini", S::kOk, "\\s.ini", P::kAsk, B::kRoot, "\\s.ini", "*?\\s.ini"},
      {"\\s.ini *-\\s.ini", S::kOk, "\\s.ini", P::kKeep, B::kRoot, "\\s.ini", "*-\\s.ini"},
      {"\\s.ini *?*-\\s.ini", S::kOk, "\\s.ini", P::kKeep, B::kRoot, "\\s.ini", "*?*-\\s.ini"},
      {"\\s.ini *-*?\\s.ini", S::kOk, "\\s.ini", P::kKeep, B::kRoot, "\\s.ini", "*-*?\\s.ini"},
      {"\\f.ttf *%\\Fonts\\f.ttf", S::kOk, "\\f.ttf", P::kReplace, B::kWindowsFolder, "\\Fonts\\f.ttf",
       "*%\\Fonts\\f.ttf"},
      {"\\f.ttf *%*?\\Fonts\\f.ttf", S::kOk, "\\f.ttf", P::kAsk, B::kWindowsFolder, "\\Fonts\\f.ttf",
       "*%*?\\Fonts\\f.ttf"},
      {"\\f.ttf *-*%*?\\Fonts\\f.ttf", S::kOk, "\\f.ttf", P::kKeep, B::kWindowsFolder, "\\Fonts\\f.ttf",
       "*-*%*?\\Fonts\\f.ttf"},
      // an unknown modifier ends the list; its character begins the target path; earlier ones hold
      {"\\a.dat *x\\a.dat", S::kBadModifier, "\\a.dat", P::kReplace, B::kRoot, "x\\a.dat", "*x\\a.dat"},
      {"\\a.dat *?*!\\a.dat", S::kBadModifier, "\\a.dat", P::kAsk, B::kRoot, "!\\a.dat", "*?*!\\a.dat"},
      {"\\a.dat **\\a.dat", S::kBadModifier, "\\a.dat", P::kReplace, B::kRoot, "*\\a.dat", "**\\a.dat"},
      // a path that climbs out of its folder is never to be copied
      {"\\a.dll \\..\\..\\Windows\\a.dll", S::kUnsafePath, "\\a.dll", P::kReplace, B::kRoot,
       "\\..\\..\\Windows\\a.dll", "\\..\\..\\Windows\\a.dll"},
      {"\\a.dll *%\\System32\\..\\..\\a.dll", S::kUnsafePath, "\\a.dll", P::kReplace, B::kWindowsFolder,
       "\\System32\\..\\..\\a.dll", "*%\\System32\\..\\..\\a.dll"},
      {"\\..\\..\\secret.txt \\s.txt", S::kUnsafePath, "\\..\\..\\secret.txt", P::kReplace, B::kRoot, "\\s.txt",
       "\\s.txt"},
      {"\\a.dat *y\\..\\a.dat", S::kUnsafePath, "\\a.dat", P::kReplace, B::kRoot, "y\\..\\a.dat",
       "*y\\..\\a.dat"},
      // malformed: empty, no separator, empty source, no target, modifiers only, a lone star
      {"", S::kMalformed, "", P::kReplace, B::kRoot, "", ""},
      {"\\only-source.dwg", S::kMalformed, "", P::kReplace, B::kRoot, "", ""},
      {" \\Q\\a.exe", S::kMalformed, "", P::kReplace, B::kRoot, "", ""},
      {",\\Q\\a.exe", S::kMalformed, "", P::kReplace, B::kRoot, "", ""},
      {"\\a.exe ", S::kMalformed, "\\a.exe", P::kReplace, B::kRoot, "", ""},
      {"\\a.exe *?*-", S::kMalformed, "\\a.exe", P::kKeep, B::kRoot, "", "*?*-"},
      {"\\a.exe *", S::kMalformed, "\\a.exe", P::kReplace, B::kRoot, "", "*"},
  };
  for (const Case& c : cases) {
    FileEntry e;
    memset(&e, 0x5A, sizeof e);  // whatever was there before must not leak through
    FileLineStatus s = ParseFileLine(c.line, &e);
    SCOPED_TRACE(std::string("line \"") + c.line + "\"");
    EXPECT_STREQ(Name(s), Name(c.status));
    EXPECT_STREQ(e.source, c.source);
    EXPECT_EQ(static_cast<int>(e.policy), static_cast<int>(c.policy));
    EXPECT_EQ(static_cast<int>(e.base), static_cast<int>(c.base));
    EXPECT_STREQ(e.targetPath, c.target);
    EXPECT_STREQ(e.targetCode, c.code);
  }
}

TEST(FileLine, OverlongPiecesAreMalformedNotOverrun) {
  FileEntry e;
  std::string longSource = "\\" + std::string(300, 'a');
  EXPECT_EQ(ParseFileLine((longSource + " \\x").c_str(), &e), FileLineStatus::kMalformed);
  EXPECT_STREQ(e.source, "");
  std::string longTarget = "\\a \\" + std::string(300, 'b');
  EXPECT_EQ(ParseFileLine(longTarget.c_str(), &e), FileLineStatus::kMalformed);
  EXPECT_STREQ(e.targetPath, "");
  // 255 characters in all (what a 256-byte read can hold) still parse
  std::string full = "\\a \\" + std::string(251, 'c');
  ASSERT_EQ(full.size(), 255u);
  EXPECT_EQ(ParseFileLine(full.c_str(), &e), FileLineStatus::kOk);
  EXPECT_EQ(strlen(e.targetPath), 252u);
  EXPECT_EQ(ParseFileLine(nullptr, &e), FileLineStatus::kMalformed);
}

TEST(ProgramManagerCommand, RootFolderAndHelpViewerPreparation) {
  const char* root = "D:\\V92Demo";
  const char* win = "C:\\windows";
  struct Case {
    const char* command;
    const char* want;
  } cases[] = {
      {"[CreateGroup(QuarnCAD)]", "[CreateGroup(QuarnCAD)]"},
      {"[AddItem(#\\QuarnWin32\\QuarnWin32.exe,QuarnCAD)]", "[AddItem(D:\\V92Demo\\QuarnWin32\\QuarnWin32.exe,QuarnCAD)]"},
      {"[AddItem(#\\a.exe,X,#\\a.ico)]", "[AddItem(D:\\V92Demo\\a.exe,X,D:\\V92Demo\\a.ico)]"},
      // help viewers get the Windows folder for %s, and %% becomes %
      {"[AddItem(%s\\hh.exe #\\Help\\q.chm,Help 100%%)]",
       "[AddItem(C:\\windows\\hh.exe D:\\V92Demo\\Help\\q.chm,Help 100%)]"},
      {"[AddItem(%s\\WinHlp32.exe #\\q.hlp,Help)]", "[AddItem(C:\\windows\\WinHlp32.exe D:\\V92Demo\\q.hlp,Help)]"},
      // any other % sequence is left alone: the server's text is never a format string
      {"[AddItem(%s\\hh.exe %n%d%x %,H)]", "[AddItem(C:\\windows\\hh.exe %n%d%x %,H)]"},
      // without a help viewer nothing about % changes; the check is case-sensitive
      {"[AddItem(%s\\notepad.exe 100%%,N)]", "[AddItem(%s\\notepad.exe 100%%,N)]"},
      {"[AddItem(%s\\HH.EXE,N)]", "[AddItem(%s\\HH.EXE,N)]"},
      {"", ""},
  };
  for (const Case& c : cases) EXPECT_EQ(PrepareProgramManagerCommand(c.command, root, win), c.want) << c.command;

  // Folders put in are not scanned again: a '#' or "%s" inside them stays.
  EXPECT_EQ(PrepareProgramManagerCommand("hh.exe %s #", "X:\\r%s", "C:\\w#"), "hh.exe C:\\w# X:\\r%s");

  // The result is not cut at 255 characters: the caller sees the real length.
  std::string many(200, '#');
  EXPECT_EQ(PrepareProgramManagerCommand(many.c_str(), root, win).size(), 200u * strlen(root));
}

TEST(ProgramManagerCommand, GroupNameOfCreateGroup) {
  struct Case {
    const char* command;
    GroupCommand kind;
    const char* name;
  } cases[] = {
      {"[CreateGroup(QuarnCAD V9)]", GroupCommand::kNamed, "QuarnCAD V9"},
      {"[CreateGroup(QuarnCAD,1)]", GroupCommand::kNamed, "QuarnCAD,1"},
      {"[CreateGroup(A, B ,0)][ShowGroup(A,1)]", GroupCommand::kNamed, "A, B ,0"},
      {"[CreateGroup(A)]x)]", GroupCommand::kNamed, "A"},
      {"[CreateGroup(A)", GroupCommand::kNoName, ""},
      {"[CreateGroup(A]", GroupCommand::kNoName, ""},
      {"[CreateGroup()]", GroupCommand::kNoName, ""},
      {"[createGroup(A)]", GroupCommand::kNotCreateGroup, ""},
      {" [CreateGroup(A)]", GroupCommand::kNotCreateGroup, ""},
      {"[AddItem(a.exe,A)]", GroupCommand::kNotCreateGroup, ""},
  };
  for (const Case& c : cases) {
    std::string name;
    EXPECT_EQ(static_cast<int>(ParseGroupCommand(c.command, &name)), static_cast<int>(c.kind)) << c.command;
    EXPECT_EQ(name, c.name) << c.command;
  }
  EXPECT_EQ(ParseGroupCommand(nullptr, nullptr), GroupCommand::kNotCreateGroup);
}
