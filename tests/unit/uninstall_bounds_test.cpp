// What /UNINSTALL may remove, per line kind of the list: only what the installation can have written,
// whatever a user has put into the list.
#include "install/uninstall_bounds.h"

#include <gtest/gtest.h>

namespace {

UninstallBounds Bounds() {
  UninstallBounds b;
  b.root = "U:\\V92Demo";
  b.windowsFolder = "C:\\windows";
  b.desktopFolder = "C:\\users\\u\\Desktop";
  b.entryKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\QuarnCAD";
  return b;
}

UninstallManifest Listed() {
  UninstallManifest m;
  m.group = "QuarnCAD 9.20 Demo";
  m.fileTypes = {{".qdw", "QuarnCAD.Rajz"}, {".qbl", "QuarnCAD.Blokk"}};
  m.fonts = {{"DejaVu Sans (TrueType)", "DejaVuSans.ttf"}};
  return m;
}

}  // namespace

TEST(UninstallBounds, InstallLocationIsARootFolder) {
  struct Case {
    const char* location;
    bool ok;
  } const cases[] = {
      {"U:\\V92Demo", true},  {"c:\\Quarn CAD", true}, {"U:\\V92Demo\\", true}, {"U:\\", false},
      {"U:", false},          {"", false},             {"U:\\a\\b", false},     {"U:\\..", false},
      {"\\\\srv\\x", false},  {"1:\\x", false},        {"U:\\CON", false},      {"U:\\x.", false},
      {"U:/x", false},        {"UU:\\x", false},
  };
  for (const Case& c : cases) EXPECT_EQ(IsInstallLocation(c.location), c.ok) << c.location;
}

TEST(UninstallBounds, UninstallEntryKeys) {
  const std::string u = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
  struct Case {
    std::string key;
    bool ok;
  } const cases[] = {
      {u + "QuarnCAD", true},          {u + "Quarn CAD 9", true},      {"software\\microsoft\\windows\\currentversion\\uninstall\\x", true},
      {u, false},                      {u + "A\\B", false},            {u + "..", false},
      {"Software\\Classes\\x", false}, {"Software\\QuarnSoft\\x", false},
  };
  for (const Case& c : cases) EXPECT_EQ(IsUninstallEntryKey(c.key), c.ok) << c.key;
}

// Below the root folder every file the installation wrote; in the Windows folder (the fonts folder too)
// only a file it created, never one that was there before and was replaced; nowhere else.
TEST(UninstallBounds, FilesBelowTheRootAndFilesCreatedInTheWindowsFolder) {
  struct Case {
    const char* path;
    bool created;  // the list's A line: nothing was at the path before the installation
    bool ok;
  } const cases[] = {
      {"U:\\V92Demo\\QuarnWin32\\QuarnWin32.exe", true, true},
      {"U:\\V92Demo\\QuarnWin32\\QuarnWin32.exe", false, true},  // replaced below the root: still ours
      {"U:\\V92Demo\\Drawings\\a.qdw", false, true},  // every folder of the root, not only the program folder
      {"u:\\v92demo\\x.txt", true, true},
      {"C:\\windows\\Fonts\\DejaVuSans.ttf", true, true},
      {"C:\\windows\\Fonts\\DejaVuSans.ttf", false, false},  // a font that was there before
      {"C:\\windows\\QuarnWin.ini", true, true},
      {"c:\\WINDOWS\\quarnwin.ini", true, true},
      {"C:\\windows\\QuarnWin.ini", false, false},           // the system's or another program's file
      {"C:\\windows\\system32\\quarn.dll", true, true},
      {"C:\\windows\\system32\\kernel32.dll", false, false},
      {"C:\\windows", true, false},                           // the folder itself is no file of ours
      {"C:\\windows2\\x.ini", true, false},                 // a sibling that starts alike
      {"C:\\windows\\..\\x.ini", true, false},
      {"C:\\windows\\x.ini:stream", true, false},
      {"C:\\windows\\NUL.ini", true, false},
      {"C:\\x.ini", true, false},
      {"U:\\V92Demo", true, false},                  // the root itself is no file of ours
      {"U:\\V92Demo2\\x.txt", true, false},          // a sibling that starts alike
      {"U:\\x.txt", true, false},                    // the drive
      {"U:\\V92Demo\\..\\Other\\x.txt", true, false},
      {"U:\\V92Demo\\a\\..\\..\\x", true, false},
      {"U:\\V92Demo\\x.txt:stream", true, false},
      {"U:\\V92Demo\\CON", true, false},
      {"D:\\V92Demo\\x.txt", true, false},
  };
  const UninstallBounds b = Bounds();
  for (const Case& c : cases) EXPECT_EQ(MayRemoveFileAt(b, c.path, c.created), c.ok) << c.path << " created=" << c.created;
  UninstallBounds noWindows = b;
  noWindows.windowsFolder.clear();
  EXPECT_FALSE(MayRemoveFileAt(noWindows, "C:\\windows\\Fonts\\DejaVuSans.ttf", true));
  EXPECT_FALSE(MayRemoveFileAt(noWindows, "C:\\windows\\QuarnWin.ini", true));
}

TEST(UninstallBounds, FoldersOnlyBelowTheRoot) {
  const UninstallBounds b = Bounds();
  EXPECT_TRUE(MayRemoveFolder(b, "U:\\V92Demo\\QuarnWin32"));
  EXPECT_TRUE(MayRemoveFolder(b, "U:\\V92Demo\\QuarnWin32\\Minta\\"));
  EXPECT_FALSE(MayRemoveFolder(b, "U:\\V92Demo"));
  EXPECT_FALSE(MayRemoveFolder(b, "U:\\"));
  EXPECT_FALSE(MayRemoveFolder(b, "C:\\windows\\Fonts"));
  EXPECT_FALSE(MayRemoveFolder(b, "U:\\V92Demo\\..\\x"));
}

TEST(UninstallBounds, ShortcutOnlyThisSystemsOnTheDesktop) {
  const UninstallBounds b = Bounds();
  UninstallManifest m = Listed();
  struct Case {
    const char* path;
    bool ok;
  } const cases[] = {
      {"C:\\users\\u\\Desktop\\QuarnCAD 9.20 Demo.lnk", true},
      {"c:\\USERS\\u\\desktop\\quarncad 9.20 demo.LNK", true},
      {"C:\\users\\u\\Desktop\\Other.lnk", false},
      {"C:\\users\\u\\Desktop\\report.docx", false},
      {"C:\\users\\u\\Documents\\QuarnCAD 9.20 Demo.lnk", false},
      {"C:\\users\\u\\Desktop\\..\\QuarnCAD 9.20 Demo.lnk", false},
  };
  for (const Case& c : cases) EXPECT_EQ(IsOwnShortcut(b, m, c.path), c.ok) << c.path;
  m.group = "..\\Documents\\x";
  EXPECT_FALSE(IsOwnShortcut(b, m, "C:\\users\\u\\Desktop\\..\\Documents\\x.lnk"));
  m.group.clear();
  EXPECT_FALSE(IsOwnShortcut(b, m, "C:\\users\\u\\Desktop\\.lnk"));
}

TEST(UninstallBounds, RecordKeyOnlyBelowTheMakersKey) {
  struct Case {
    const char* key;
    bool ok;
  } const cases[] = {
      {"Software\\QuarnSoft\\QuarnCAD", true},
      {"SOFTWARE\\quarnsoft\\QuarnCAD", true},
      {"Software\\QuarnSoft", false},
      {"Software\\QuarnSoft\\", false},
      {"Software\\OtherMaker\\App", false},
      {"Software\\QuarnSoft\\..\\OtherMaker", false},
      {"Software\\QuarnSoftX\\App", false},
      {"System\\CurrentControlSet\\Services", false},
  };
  for (const Case& c : cases) EXPECT_EQ(IsOwnRecordKey(c.key), c.ok) << c.key;
}

TEST(UninstallBounds, ValuesOnlyOfTheSetsFileTypesAndFonts) {
  const UninstallManifest m = Listed();
  struct Case {
    ManifestValue v;
    bool ok;
  } const cases[] = {
      {{"Software\\Classes\\.qdw", "", "QuarnCAD.Rajz"}, true},
      {{"Software\\Classes\\QuarnCAD.Rajz\\Shell\\Open\\Command", "", "x"}, true},
      {{"software\\classes\\quarncad.blokk\\DefaultIcon", "", "x"}, true},
      {{"Software\\Microsoft\\Windows NT\\CurrentVersion\\Fonts", "DejaVu Sans (TrueType)", "DejaVuSans.ttf"}, true},
      {{"Software\\Classes\\.txt", "", "txtfile"}, false},  // another program's file type
      {{"Software\\Classes\\exefile\\shell\\open\\command", "", "x"}, false},
      {{"Software\\Classes\\.qdwx", "", "x"}, false},
      {{"Software\\Classes\\.qdw\\..\\.txt", "", "x"}, false},
      {{"Software\\Microsoft\\Windows NT\\CurrentVersion\\Fonts", "Arial (TrueType)", "arial.ttf"}, false},
      {{"Software\\Microsoft\\Windows\\CurrentVersion\\Run", "x", "y"}, false},
  };
  for (const Case& c : cases) EXPECT_EQ(IsOwnValue(m, c.v), c.ok) << c.v.key << " [" << c.v.name << "]";
  // The file types as the installation lists them: the extension's value names the class.
  UninstallManifest registered;
  registered.values = {{"Software\\Classes\\.qdw", "", "QuarnCAD.Rajz"}, {"Software\\Classes\\x", "", "y"},
                       {"Software\\Classes\\.bad", "", "..\\exefile"}};
  EXPECT_TRUE(IsOwnValue(registered, {"Software\\Classes\\.qdw", "", "QuarnCAD.Rajz"}));
  EXPECT_TRUE(IsOwnValue(registered, {"Software\\Classes\\QuarnCAD.Rajz\\Shell\\Open\\Command", "", "x"}));
  EXPECT_FALSE(IsOwnValue(registered, {"Software\\Classes\\x", "", "y"}));  // not an extension
  EXPECT_FALSE(IsOwnValue(registered, {"Software\\Classes\\y", "", "z"}));
  EXPECT_FALSE(IsOwnValue(registered, {"Software\\Classes\\exefile\\shell", "", "z"}));
  EXPECT_FALSE(IsOwnValue(registered, {"Software\\Classes\\.txt", "", "txtfile"}));
  UninstallManifest badType = m;
  badType.fileTypes = {{"..", "x"}, {"a\\b", "y"}, {"", ""}};
  EXPECT_FALSE(IsOwnValue(badType, {"Software\\Classes\\a\\b", "", "x"}));
  EXPECT_FALSE(IsOwnValue(badType, {"Software\\Classes", "", "x"}));
}

TEST(UninstallBounds, GroupNamesCarriedAsOneArgument) {
  struct Case {
    const char* name;
    bool ok;
  } const cases[] = {
      {"QuarnCAD 9.20 Demo", true},  {"QuarnCAD \xE1rv\xED", true}, {"", false},
      {"a]", false},                 {"a[", false},                 {"a)[DeleteGroup(Startup)]", false},
      {"a(b", false},                {"a,1", false},                {"a\"b", false},
      {"a\tb", false},               {"a\x7F", false},
  };
  for (const Case& c : cases) EXPECT_EQ(IsPlainGroupName(c.name), c.ok) << c.name;
}

TEST(UninstallBounds, StagingFolderAndInstallerCopyOnlyTheirOwnPlaces) {
  const UninstallBounds b = Bounds();
  EXPECT_TRUE(IsOwnStagingFolder(b, "U:\\V92Demo\\QuarnWin32\\Install\\"));
  EXPECT_TRUE(IsOwnStagingFolder(b, "u:\\v92demo\\quarnwin32\\install"));
  EXPECT_FALSE(IsOwnStagingFolder(b, "U:\\V92Demo"));
  EXPECT_FALSE(IsOwnStagingFolder(b, "U:\\"));
  EXPECT_FALSE(IsOwnStagingFolder(b, "C:\\Users"));
  EXPECT_FALSE(IsOwnStagingFolder(b, "U:\\V92Demo\\QuarnWin32\\Install\\..\\.."));
  EXPECT_TRUE(IsOwnInstallerCopy(b, "U:\\V92Demo\\QuarnWin32\\QuarnWebInstall.exe"));
  EXPECT_FALSE(IsOwnInstallerCopy(b, "C:\\windows\\system32\\drivers\\x.sys"));
  EXPECT_FALSE(IsOwnInstallerCopy(b, "U:\\V92Demo\\QuarnWin32\\QuarnWin32.exe"));
  UninstallBounds none;
  EXPECT_FALSE(IsOwnStagingFolder(none, "\\QuarnWin32\\Install"));
  EXPECT_FALSE(IsOwnInstallerCopy(none, "\\QuarnWin32\\QuarnWebInstall.exe"));
}
