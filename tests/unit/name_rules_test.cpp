// The rules that keep every name from a set inside its folder: a path that climbs out of it is found, the
// root folder is one folder below the drive's top, a server name stays inside its disc folder, and a
// Program Manager command that would leave the Program Manager's folder is found.
// Names Windows does not take as written (devices, streams, trailing dots and blanks) are refused wherever
// a set names a file or a folder, like "..": server names, file line sources and targets, folders, the
// root, fonts and the desktop link.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "layout/description.h"
#include "layout/install_layout.h"

namespace {

struct NameCase {
  const char* path;
  bool reserved;
};

// Paths as a set writes them; the same table drives every consumer below.
const NameCase kNames[] = {
    // ordinary names, also those that only look like devices
    {"\\QuarnWin32\\a.exe", false},
    {"\\Help\\guide.hlp", false},
    {"\\a..b\\c", false},
    {"\\.rc", false},
    {"\\CONSOLE.txt", false},
    {"\\icon.ico", false},
    {"\\COM10", false},
    {"\\LPT", false},
    {"\\NULL", false},
    {"\\xCON", false},
    {"\\a b\\c d.txt", false},
    {"\\Blokkok\\\xE1rv\xED.qbl", false},  // accented letters in code page 1250
    {"\\", false},
    // devices, in any element, any case, with or without an extension
    {"\\CON", true},
    {"\\con", true},
    {"\\Nul", true},
    {"\\PRN.txt", true},
    {"\\aux.tar.gz", true},
    {"\\QuarnWin32\\COM1", true},
    {"\\QuarnWin32\\lpt9.log", true},
    {"\\COM0", true},
    {"\\LPT1 .txt", true},  // blanks before the dot are dropped: still LPT1
    {"\\NUL \\a.txt", true},
    {"\\a\\CONIN$", true},
    {"\\CONOUT$.x", true},
    {"\\COM\xB9", true},  // superscript one: COM1 to Windows
    {"\\lpt\xB2.txt", true},
    {"CON\\a.txt", true},
    {"\\a/nul.txt", true},
    // streams and drives
    {"\\QuarnWin32\\x.txt:ads", true},
    {"\\x.txt::$DATA", true},
    {"C:\\a.txt", true},
    {"\\a:b\\c", true},
    // a trailing dot or blank in any element
    {"\\file.", true},
    {"\\file ", true},
    {"\\dir.\\a.txt", true},
    {"\\dir \\a.txt", true},
    {"\\a\\b\\c\t", true},
    // "." and ".." have their own rules (ContainsParentSegment): not counted here
    {"\\.\\a", false},
    {"\\a\\..", false},
};

}  // namespace

TEST(ReservedWindowsNames, FoundInAnyElement) {
  for (const NameCase& c : kNames) EXPECT_EQ(HoldsSpecialWindowsName(c.path), c.reserved) << c.path;
  EXPECT_FALSE(HoldsSpecialWindowsName(nullptr));
  EXPECT_FALSE(HoldsSpecialWindowsName(""));
}

TEST(ReservedWindowsNames, RefusedAsServerNames) {
  for (const NameCase& c : kNames) {
    // Server names have no leading backslash; "." and ".." and the bare separator are refused anyway.
    const std::string name = c.path[0] == '\\' ? c.path + 1 : c.path;
    if (name.empty() || ContainsParentSegment(name.c_str()) || name.find("\\.\\") != std::string::npos ||
        name.compare(0, 2, ".\\") == 0) {
      continue;
    }
    EXPECT_EQ(IsSafeServerName(name.c_str()), !c.reserved) << name;
  }
}

TEST(ReservedWindowsNames, RefusedAsFileLineTargetsAndSources) {
  for (const NameCase& c : kNames) {
    if (ContainsParentSegment(c.path) || c.path[0] != '\\' || c.path[1] == '\0') continue;
    SCOPED_TRACE(c.path);
    FileEntry e;
    // As the target: the parser flags it, and the copy's own check refuses it again.
    const std::string asTarget = std::string("\\a.txt ") + c.path;
    const FileLineStatus target = ParseFileLine(asTarget.c_str(), &e);
    EXPECT_EQ(target, c.reserved ? FileLineStatus::kUnsafePath : FileLineStatus::kOk);
    EXPECT_EQ(CheckTarget(e, "C:\\windows", TargetPathOf(e, "T:\\V92Demo", "C:\\windows")),
              c.reserved ? TargetCheck::kOutsideBase : TargetCheck::kOk);
    // In the Windows folder too.
    const std::string inWindows = std::string("\\a.txt *%") + c.path;
    ASSERT_EQ(ParseFileLine(inWindows.c_str(), &e), c.reserved ? FileLineStatus::kUnsafePath : FileLineStatus::kOk);
    EXPECT_EQ(CheckTarget(e, "C:\\windows", TargetPathOf(e, "T:\\V92Demo", "C:\\windows")),
              c.reserved ? TargetCheck::kOutsideBase : TargetCheck::kOk);
    // As the source (the staged file the copy reads).
    const std::string asSource = std::string(c.path) + " \\a.txt";
    if (strchr(c.path, ' ') == nullptr && strchr(c.path, '\t') == nullptr) {
      EXPECT_EQ(ParseFileLine(asSource.c_str(), &e), c.reserved ? FileLineStatus::kUnsafePath : FileLineStatus::kOk);
    }
  }
}

TEST(ReservedWindowsNames, RefusedAsFoldersAndTheRoot) {
  for (const NameCase& c : kNames) {
    if (ContainsParentSegment(c.path) || c.path[0] != '\\' || c.path[1] == '\0') continue;
    if (strcmp(c.path, "\\.\\a") == 0) continue;  // "." is refused as a folder element on its own
    char out[256] = "old";
    EXPECT_EQ(BuildSubfolderPath("T:\\V92Demo", c.path, out, sizeof out), !c.reserved) << c.path;
    if (c.reserved) {
      EXPECT_STREQ(out, "") << c.path;
    }
    // The root is a single folder: only the one-element names apply.
    const char* root = c.path + 1;
    if (strpbrk(root, "\\/:") == nullptr) {
      EXPECT_EQ(IsPlainFolderName(root), !c.reserved) << root;
      EXPECT_EQ(BuildRootFolderPath(20, root, out, sizeof out), !c.reserved) << root;
      EXPECT_EQ(IsServerRootName(root), !c.reserved) << root;
    }
  }
}

TEST(ReservedWindowsNames, DesktopLinkNamesThatOpenADevice) {
  // The group name + ".lnk": a device name opens the device; a trailing dot or blank is inside the name.
  struct Case {
    const char* group;
    bool ok;
  } const cases[] = {
      {"QuarnCAD 9.20 Demo", true}, {"QuarnSoft Kft.", true}, {"Quarn ", true},  {"CONSOLE", true},
      {"CON", false},               {"nul", false},           {"COM1", false},   {"Lpt3", false},
      {"AUX ", false},              {"PRN.x", false},         {"a:b", false},    {"CLOCK$", false},
  };
  for (const Case& c : cases) EXPECT_EQ(IsPlainLinkName(c.group), c.ok) << c.group;
}

TEST(ReservedWindowsNames, RefusedAsFonts) {
  char out[256];
  struct Case {
    const char* font;
    bool ok;
  } const cases[] = {
      {"DejaVuSans.ttf", true}, {"a b.ttf", true},     {"CON.ttf", false},    {"aux", false},
      {"a.ttf:x", false},       {"a.ttf.", false},     {"a.ttf ", false},     {"com1.fon", false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(IsFontFileInsideFontsFolder(c.font), c.ok) << c.font;
    EXPECT_EQ(BuildFontPath("C:\\windows", c.font, out, sizeof out), c.ok) << c.font;
  }
}

TEST(RootFolderName, OnlyOneFolderBelowTheDriveTop) {
  struct Case {
    const char* name;
    bool plain;
  } const cases[] = {
      {"V92Demo", true},       {"Quarn CAD 9.2", true}, {".hidden", true},  {"a.b", true},
      {"", false},             {".", false},            {"..", false},      {"...", false},
      {". .", false},          {"..\\Windows", false},  {"a\\b", false},    {"a/b", false},
      {"C:", false},           {"\\", false},           {"x:y", false},
  };
  for (const Case& c : cases) EXPECT_EQ(IsPlainFolderName(c.name), c.plain) << "[" << c.name << "]";
}

TEST(ServerName, SafeOnlyInsideTheDiscFolder) {
  const char* safe[] = {"a.txt", "quarnex_32.exe", "Help\\guide.hlp", "a\\b\\c.d", "x..y",
                        "..a", "\xE1rv\xED.txt"};
  for (const char* n : safe) EXPECT_TRUE(IsSafeServerName(n)) << n;
  const char* unsafe[] = {"",        "..",         "..\\x",     "a\\..\\..\\x", "a\\..",   ".",
                          ".\\a",    "...",        "C:\\x",     "C:x",          "a:b",     "\\x",
                          "\\\\srv\\share\\x", "a\\\\b", "a\\", "../x", "a/b",  "a*b",     "a?b",
                          "a|b",     "a<b",        "a>b",       "a\"b",         ". .",     "a\\. \\b",
                          "a\tb",   "file.",      "file ",     "CON",          "Help\\nul.txt"};
  for (const char* n : unsafe) EXPECT_FALSE(IsSafeServerName(n)) << n;
}

TEST(DescriptionPath, ParentSegmentsAreFound) {
  struct Case {
    const char* path;
    bool climbs;
  } cases[] = {
      {"\\QuarnWin32\\a.exe", false}, {"\\a..b\\c", false},   {"\\.\\a", false},     {"\\..a\\b", false},
      {"\\..\\a", true},              {"\\a\\..", true},       {"..", true},          {"\\a/../b", true},
      {"\\a\\...\\b", true},          {"\\a\\.. \\b", true},   {"\\a\\. .\\b", true}, {"", false},
      {"\\\\", false},
  };
  for (const Case& c : cases) EXPECT_EQ(ContainsParentSegment(c.path), c.climbs) << c.path;
}

// The Program Manager joins group and item names to its own folder and resolves a ".." that begins a
// name or a component into the folder above it, whatever follows the two dots (seen with Wine's
// service: "..x" became a folder beside the programs folder). Such commands are not sent.
TEST(ProgramManagerCommand, NamesLeavingTheProgramsFolderAreFound) {
  struct Case {
    const char* command;
    bool leaves;
  } cases[] = {
      {"[CreateGroup(QuarnCAD 9.20 Demo)]", false},
      {"[AddItem(V:\\V92Demo\\QuarnWin32\\QuarnWin32.exe,QuarnCAD 9.20)]", false},
      {"[AddItem(C:\\windows\\hh.exe V:\\r\\Help\\a.chm,S\xfag\xf3...)]", false},  // dots inside a name
      {"[CreateGroup(Sub\\Group)]", false},
      {"[CreateGroup(. .\\x)]", false},
      {"[ShowGroup(QuarnCAD,1)]", false},
      {"[CreateGroup(..)]", true},
      {"[CreateGroup(..\\..\\x)]", true},
      {"[CreateGroup(..x)]", true},
      {"[CreateGroup(...)]", true},
      {"[CreateGroup(  ..x)]", true},
      {"[CreateGroup(\"..x\")]", true},
      {"[CreateGroup(Sub\\..\\..\\x)]", true},
      {"[CreateGroup(Sub/..x)]", true},
      {"[AddItem(a.exe,..\\Item)]", true},
      {"[AddItem(a.exe, ..Item)]", true},
      {"[AddItem(..\\a.exe,Item)]", true},
      {"[CreateGroup(A)][ShowGroup(..x,1)]", true},
      {"", false},
  };
  for (const Case& c : cases) EXPECT_EQ(LeavesProgramManagerFolder(c.command), c.leaves) << c.command;
}
