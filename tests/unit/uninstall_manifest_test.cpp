// The list of what an installation created: written and read back unchanged (names with blanks, TABs,
// '%' and code page 1250 bytes), damaged or unknown lines skipped and counted, only our header accepted;
// and the path check that keeps the uninstaller inside the folders an installation writes to.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "install/uninstall_manifest.h"

namespace {

const std::string kHash(64, 'a');

UninstallManifest Sample() {
  UninstallManifest m;
  m.systemName = "QuarnCAD";
  m.recordKey = "Software\\QuarnSoft\\QuarnCAD";
  m.rootFolder = "C:\\V92Demo";
  m.folders = {"C:\\V92Demo", "C:\\V92Demo\\QuarnWin32", "C:\\V92Demo\\Rajzok \xe1rv\xedz"};
  m.files = {{"C:\\V92Demo\\QuarnWin32\\QuarnWin32.exe", 123456, kHash},
             {"C:\\windows\\Fonts\\quarn.ttf", 0, std::string(64, '0'), true},
             {"C:\\V92Demo\\odd%name\twith tab.txt", 18446744073709551615ull, kHash}};
  m.values = {{"Software\\QuarnSoft\\QuarnCAD", "SubSystem", "Demo"},
              {"Software\\Classes\\.qcd", "", "QuarnDoc"},
              {"Software\\X", "line\r\nbreak", "100%"}};
  m.fileTypes = {{".qcd", "QuarnDoc"}};
  m.fonts = {{"Quarn Sans (TrueType)", "quarn.ttf"}};
  m.shortcut = "C:\\users\\me\\Desktop\\QuarnCAD V9.2.lnk";
  m.group = "QuarnCAD V9.2";
  m.stagingFolder = "C:\\V92Demo\\QuarnWin32\\Install\\";
  m.uninstallKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\QuarnCAD";
  m.installerCopy = "C:\\V92Demo\\QuarnWin32\\QuarnWebInstall.exe";
  return m;
}

void ExpectSame(const UninstallManifest& a, const UninstallManifest& b) {
  EXPECT_EQ(a.systemName, b.systemName);
  EXPECT_EQ(a.recordKey, b.recordKey);
  EXPECT_EQ(a.rootFolder, b.rootFolder);
  EXPECT_EQ(a.folders, b.folders);
  ASSERT_EQ(a.files.size(), b.files.size());
  for (size_t i = 0; i < a.files.size(); ++i) {
    EXPECT_EQ(a.files[i].path, b.files[i].path);
    EXPECT_EQ(a.files[i].size, b.files[i].size);
    EXPECT_EQ(a.files[i].sha256, b.files[i].sha256);
    EXPECT_EQ(a.files[i].created, b.files[i].created) << a.files[i].path;
  }
  ASSERT_EQ(a.values.size(), b.values.size());
  for (size_t i = 0; i < a.values.size(); ++i) {
    EXPECT_EQ(a.values[i].key, b.values[i].key);
    EXPECT_EQ(a.values[i].name, b.values[i].name);
    EXPECT_EQ(a.values[i].data, b.values[i].data);
  }
  ASSERT_EQ(a.fileTypes.size(), b.fileTypes.size());
  ASSERT_EQ(a.fonts.size(), b.fonts.size());
  EXPECT_EQ(a.fonts[0].name, b.fonts[0].name);
  EXPECT_EQ(a.shortcut, b.shortcut);
  EXPECT_EQ(a.group, b.group);
  EXPECT_EQ(a.stagingFolder, b.stagingFolder);
  EXPECT_EQ(a.uninstallKey, b.uninstallKey);
  EXPECT_EQ(a.installerCopy, b.installerCopy);
}

TEST(UninstallManifest, RoundTripsEveryKindOfEntry) {
  const UninstallManifest m = Sample();
  const std::string text = WriteManifest(m);
  EXPECT_EQ(text.compare(0, 18, "QuarnUninstall 1\r\n"), 0);
  // Every line ends in CR LF and no field holds a raw control byte.
  for (size_t i = 0; i < text.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    if (c == '\n') {
      EXPECT_EQ(text[i - 1], '\r');
    } else if (c == '\r') {
      EXPECT_EQ(text[i + 1], '\n');
    } else {
      EXPECT_TRUE(c >= 0x20 || c == '\t') << i;
    }
  }
  EXPECT_NE(text.find("F\t123456\t" + kHash + "\tC:\\V92Demo\\QuarnWin32\\QuarnWin32.exe\r\n"), std::string::npos);
  EXPECT_NE(text.find("C:\\V92Demo\\odd%25name%09with tab.txt"), std::string::npos);
  UninstallManifest back;
  const ManifestParseResult r = ParseManifest(text.data(), text.size(), &back);
  EXPECT_TRUE(r.headerOk);
  EXPECT_EQ(r.badLines, 0);
  EXPECT_EQ(r.unknownLines, 0);
  ExpectSame(m, back);
}

TEST(UninstallManifest, EscapesOnlyWhatWouldBreakALine) {
  struct Case {
    const char* raw;
    const char* escaped;
  } cases[] = {{"plain \xf5", "plain \xf5"}, {"a\tb", "a%09b"}, {"50%", "50%25"}, {"\r\n", "%0D%0A"},
               {"\x7f", "%7F"},              {"", ""}};
  for (const auto& c : cases) {
    EXPECT_EQ(EscapeManifestField(c.raw), c.escaped);
    std::string back;
    ASSERT_TRUE(UnescapeManifestField(c.escaped, &back));
    EXPECT_EQ(back, c.raw);
  }
  const char* bad[] = {"%", "%4", "%G0", "a%0", "raw\ttab"};
  for (const char* b : bad) {
    std::string out;
    EXPECT_FALSE(UnescapeManifestField(b, &out)) << b;
  }
}

TEST(UninstallManifest, SkipsDamagedAndUnknownLinesAndCountsThem) {
  struct Case {
    const char* name;
    std::string text;
    bool header;
    int files, bad, firstBad, unknown;
  } cases[] = {
      {"empty", "", false, 0, 0, 0, 0},
      {"other header", "QuarnUninstall 2\r\nF\t1\t" + kHash + "\tC:\\a\r\n", false, 0, 0, 0, 0},
      {"header only", "QuarnUninstall 1\r\n", true, 0, 0, 0, 0},
      {"good file", "QuarnUninstall 1\r\nF\t1\t" + kHash + "\tC:\\a\r\n", true, 1, 0, 0, 0},
      {"unterminated last line is not trusted", "QuarnUninstall 1\r\nF\t1\t" + kHash + "\tC:\\a", true, 0, 1, 2,
       0},
      {"size not a number", "QuarnUninstall 1\r\nF\t1x\t" + kHash + "\tC:\\a\r\n", true, 0, 1, 2, 0},
      {"size too large", "QuarnUninstall 1\r\nF\t99999999999999999999\t" + kHash + "\tC:\\a\r\n", true, 0, 1, 2, 0},
      {"hash too short", "QuarnUninstall 1\r\nF\t1\tabc\tC:\\a\r\n", true, 0, 1, 2, 0},
      {"hash upper case", "QuarnUninstall 1\r\nF\t1\t" + std::string(64, 'A') + "\tC:\\a\r\n", true, 0, 1, 2, 0},
      {"missing path", "QuarnUninstall 1\r\nF\t1\t" + kHash + "\r\n", true, 0, 1, 2, 0},
      {"extra field", "QuarnUninstall 1\r\nF\t1\t" + kHash + "\tC:\\a\tmore\r\n", true, 0, 1, 2, 0},
      {"bad escape", "QuarnUninstall 1\r\nD\tC:\\%zz\r\nF\t1\t" + kHash + "\tC:\\a\r\n", true, 1, 1, 2, 0},
      {"no tab after kind", "QuarnUninstall 1\r\nDC:\\a\r\n", true, 0, 1, 2, 0},
      {"blank line", "QuarnUninstall 1\r\n\r\nF\t1\t" + kHash + "\tC:\\a\r\n", true, 1, 1, 2, 0},
      {"LF only", "QuarnUninstall 1\nF\t1\t" + kHash + "\tC:\\a\n", false, 0, 0, 0, 0},
      {"unknown kind from a newer writer", "QuarnUninstall 1\r\nZ\tanything\r\nF\t1\t" + kHash + "\tC:\\a\r\n",
       true, 1, 0, 0, 1},
      {"empty single field", "QuarnUninstall 1\r\nS\t\r\n", true, 0, 1, 2, 0},
      {"field too long", "QuarnUninstall 1\r\nD\t" + std::string(kMaxManifestField + 1, 'a') + "\r\n", true, 0, 1,
       2, 0},
  };
  for (const auto& c : cases) {
    UninstallManifest m;
    const ManifestParseResult r = ParseManifest(c.text.data(), c.text.size(), &m);
    SCOPED_TRACE(c.name);
    EXPECT_EQ(r.headerOk, c.header);
    if (!c.header) continue;
    EXPECT_EQ(static_cast<int>(m.files.size()), c.files);
    EXPECT_EQ(r.badLines, c.bad);
    EXPECT_EQ(r.firstBadLine, c.firstBad);
    EXPECT_EQ(r.unknownLines, c.unknown);
  }
}

TEST(UninstallManifest, RefusesATextPastItsBound) {
  const std::string text = std::string(kManifestHeader) + "\r\n";
  UninstallManifest m;
  EXPECT_FALSE(ParseManifest(text.data(), kMaxManifestBytes + 1, &m).headerOk);
}

TEST(PathInside, OnlyTheFolderAndBelowWithoutClimbingOut) {
  struct Case {
    const char* path;
    const char* folder;
    bool inside;
  } cases[] = {
      {"C:\\V92Demo\\a.txt", "C:\\V92Demo", true},
      {"c:\\v92demo\\A.TXT", "C:\\V92Demo", true},
      {"C:\\V92Demo", "C:\\V92Demo", true},
      {"C:\\V92Demo\\", "C:\\V92Demo\\", true},
      {"C:\\V92Demo/sub/x", "C:\\V92Demo\\", true},
      {"C:\\V92DemoX\\a.txt", "C:\\V92Demo", false},
      {"C:\\V92Dem", "C:\\V92Demo", false},
      {"C:\\V92Demo\\..\\Windows\\x", "C:\\V92Demo", false},
      {"C:\\V92Demo\\sub\\...\\x", "C:\\V92Demo", false},
      {"D:\\V92Demo\\a", "C:\\V92Demo", false},
      {"C:\\anything", "", false},
      // Code page 1250 letters are compared byte for byte (no case folding beyond ASCII).
      {"C:\\\xc1rv\\a", "C:\\\xc1rv", true},
      {"C:\\\xe1rv\\a", "C:\\\xc1rv", false},
  };
  for (const auto& c : cases) EXPECT_EQ(IsPathInside(c.path, c.folder), c.inside) << c.path << " in " << c.folder;
}

}  // namespace

// The run's file set against the plain search it replaces (the first entry of a path, compared without
// the case of ASCII letters, takes every later record of it in place): the same entries in the same
// order, with duplicates in every spelling, over enough files that a slip in the index shows.
TEST(ManifestFileSet, KeepsTheOrderAndReplacesDuplicatesLikeASearchOfTheList) {
  std::vector<ManifestFile> expected;
  auto reference = [&](const ManifestFile& file) {
    for (ManifestFile& f : expected) {
      bool same = f.path.size() == file.path.size();
      for (size_t i = 0; same && i < f.path.size(); ++i) {
        char a = f.path[i], b = file.path[i];
        if (a >= 'A' && a <= 'Z') a = static_cast<char>(a - 'A' + 'a');
        if (b >= 'A' && b <= 'Z') b = static_cast<char>(b - 'A' + 'a');
        same = a == b;
      }
      if (same) {
        f = file;
        return false;
      }
    }
    expected.push_back(file);
    return true;
  };
  ManifestFileSet set;
  uint64_t state = 12345;
  auto next = [&] {
    state = state * 6364136223846793005ull + 1442695040888963407ull;
    return static_cast<unsigned>(state >> 33);
  };
  const char* spellings[] = {"C:\\V92Demo\\Dir\\file", "c:\\v92demo\\dir\\FILE", "C:\\V92DEMO\\DIR\\File"};
  for (int i = 0; i < 3000; ++i) {
    // About one record in three names a file recorded before, in another spelling.
    const unsigned n = i % 3 == 2 ? next() % (i + 1) : static_cast<unsigned>(i);
    ManifestFile file;
    file.path = std::string(spellings[next() % 3]) + std::to_string(n) + ".dat";
    file.size = i;
    file.sha256 = std::string(64, "0123456789abcdef"[i % 16]);
    const bool added = reference(file);
    EXPECT_EQ(set.Put(file), added) << file.path;
  }
  ASSERT_EQ(set.files().size(), expected.size());
  for (size_t i = 0; i < expected.size(); ++i) {
    EXPECT_EQ(set.files()[i].path, expected[i].path) << i;
    EXPECT_EQ(set.files()[i].size, expected[i].size) << i;
    EXPECT_EQ(set.files()[i].sha256, expected[i].sha256) << i;
  }
}

TEST(ManifestFileSet, FindsAPathOnlyInAnotherCaseOfItsAsciiLetters) {
  ManifestFileSet set;
  ASSERT_TRUE(set.Put({"C:\\V92Demo\\\xe1rv\xedz.txt", 1, kHash}));
  ASSERT_TRUE(set.Put({"C:\\V92Demo\\a", 2, kHash}));
  struct Case {
    const char* path;
    bool found;
  } cases[] = {
      {"C:\\V92Demo\\\xe1rv\xedz.txt", true},
      {"c:\\v92demo\\\xe1RV\xedZ.TXT", true},       // ASCII letters in another case
      {"C:\\V92Demo\\\xc1rv\xcdz.txt", false},      // other letters are compared as they are
      {"C:\\V92Demo\\\xe1rv\xedz.txt ", false},     // one byte longer
      {"C:\\V92Demo\\\xe1rv\xedz.tx", false},       // one byte shorter
      {"C:\\V92Demo/a", false},                     // separators are not folded
      {"C:\\V92DEMO\\A", true},
      {"", false},
  };
  for (const Case& c : cases) EXPECT_EQ(set.Contains(c.path), c.found) << c.path;
  // A record in another spelling replaces the entry, spelling and all, where it stands.
  EXPECT_FALSE(set.Put({"c:\\v92demo\\A", 3, std::string(64, 'b')}));
  ASSERT_EQ(set.files().size(), 2u);
  EXPECT_EQ(set.files()[1].path, "c:\\v92demo\\A");
  EXPECT_EQ(set.files()[1].size, 3u);
  EXPECT_EQ(set.files()[0].size, 1u);
}

// Written in pieces, the list is the same text; the file lines come from the lists given, in order; a
// sink that fails stops the writing.
TEST(UninstallManifest, WritesInPiecesTheSameText) {
  UninstallManifest m = Sample();
  const std::string whole = WriteManifest(m);
  const std::vector<ManifestFile> first(m.files.begin(), m.files.begin() + 1);
  const std::vector<ManifestFile> rest(m.files.begin() + 1, m.files.end());
  UninstallManifest noFiles = m;
  noFiles.files.clear();
  for (size_t piece : {size_t{1}, size_t{7}, size_t{100}, size_t{1} << 20}) {
    std::string text;
    std::vector<size_t> sizes;
    EXPECT_TRUE(WriteManifestTo(noFiles, {&first, &rest}, piece, [&](const std::string& p) {
      text += p;
      sizes.push_back(p.size());
      return true;
    }));
    EXPECT_EQ(text, whole) << piece;
    ASSERT_FALSE(sizes.empty());
    for (size_t i = 0; i + 1 < sizes.size(); ++i) EXPECT_GE(sizes[i], piece) << piece;
    if (piece > whole.size()) {
      EXPECT_EQ(sizes.size(), 1u);
    }
  }
  int calls = 0;
  EXPECT_FALSE(WriteManifestTo(m, {&m.files}, 10, [&](const std::string&) { return ++calls == 3 ? false : true; }));
  EXPECT_EQ(calls, 3) << "nothing is handed on after a failed piece";
}

// Which files the installation created (nothing was at their place before) is told by A lines, each
// right after its F line. A reader that does not know them skips them as a newer writer's lines and
// finds the very F lines it always found.
TEST(UninstallManifest, CreatedFilesAreMarkedByLinesOlderReadersSkip) {
  UninstallManifest m = Sample();
  m.files.push_back({"C:\\windows\\QuarnWin.ini", 5, kHash, true});
  m.files.push_back({"C:\\windows\\QuarnRegi.ini", 6, kHash, false});
  const std::string text = WriteManifest(m);
  EXPECT_NE(text.find("F\t5\t" + kHash + "\tC:\\windows\\QuarnWin.ini\r\nA\tC:\\windows\\QuarnWin.ini\r\n"),
            std::string::npos);
  EXPECT_EQ(text.find("A\tC:\\windows\\QuarnRegi.ini"), std::string::npos);
  UninstallManifest back;
  const ManifestParseResult r = ParseManifest(text.data(), text.size(), &back);
  EXPECT_EQ(r.badLines, 0);
  EXPECT_EQ(r.unknownLines, 0);
  ExpectSame(m, back);

  // Without its A lines the text is exactly the list of the same files, none marked: what a reader of
  // the earlier lists reads.
  UninstallManifest unmarked = m;
  for (ManifestFile& f : unmarked.files) f.created = false;
  std::string withoutA;
  for (size_t pos = 0; pos < text.size();) {
    const size_t end = text.find("\r\n", pos) + 2;
    if (text.compare(pos, 2, "A\t") != 0) withoutA += text.substr(pos, end - pos);
    pos = end;
  }
  EXPECT_EQ(withoutA, WriteManifest(unmarked));
}

TEST(UninstallManifest, AnALineMarksTheFilesOfItsPathWhereverItStands) {
  const std::string f1 = "F\t1\t" + kHash + "\tC:\\windows\\a.ini\r\n";
  const std::string f2 = "F\t2\t" + kHash + "\tC:\\windows\\b.ini\r\n";
  struct Case {
    const char* name;
    std::string lines;
    bool a, b;
    int bad;
  } const cases[] = {
      {"after its F line", f1 + "A\tC:\\windows\\a.ini\r\n" + f2, true, false, 0},
      {"before its F line", "A\tC:\\windows\\b.ini\r\n" + f1 + f2, false, true, 0},
      {"another case of the path", f1 + f2 + "A\tc:\\WINDOWS\\B.INI\r\n", false, true, 0},
      {"a path with no F line", f1 + f2 + "A\tC:\\windows\\c.ini\r\n", false, false, 0},
      {"a path one byte longer", f1 + f2 + "A\tC:\\windows\\a.ini \r\n", false, false, 0},
      {"no path", f1 + "A\t\r\n" + f2, false, false, 1},
      {"two fields", f1 + "A\tC:\\windows\\a.ini\tx\r\n" + f2, false, false, 1},
      {"cut last line", f1 + f2 + "A\tC:\\windows\\a.ini", false, false, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string text = std::string(kManifestHeader) + "\r\n" + c.lines;
    UninstallManifest m;
    const ManifestParseResult r = ParseManifest(text.data(), text.size(), &m);
    ASSERT_TRUE(r.headerOk);
    ASSERT_EQ(m.files.size(), 2u);
    EXPECT_EQ(m.files[0].created, c.a);
    EXPECT_EQ(m.files[1].created, c.b);
    EXPECT_EQ(r.badLines, c.bad);
    EXPECT_EQ(r.unknownLines, 0);
  }
}

// A file written twice stays created when the first write created it (a later part, or a
// reinstallation over the earlier installation's own file, finds it there); one the earlier
// installation replaced stays replaced.
TEST(ManifestFileSet, AFileTheInstallationCreatedStaysCreated) {
  ManifestFileSet set;
  ASSERT_TRUE(set.Put({"C:\\windows\\a.ini", 1, kHash, true}));
  EXPECT_FALSE(set.Put({"C:\\WINDOWS\\A.INI", 2, kHash, false}));
  ASSERT_TRUE(set.Put({"C:\\windows\\b.ini", 1, kHash, false}));
  ASSERT_TRUE(set.Put({"C:\\windows\\c.ini", 1, kHash, false}));
  ASSERT_TRUE(set.Put({"C:\\windows\\d.ini", 1, kHash, false}));
  EXPECT_TRUE(set.files()[0].created);
  EXPECT_EQ(set.files()[0].size, 2u);

  const std::vector<ManifestFile> earlier = {{"c:\\windows\\B.ini", 1, kHash, true},   // created by the earlier run
                                             {"C:\\windows\\c.ini", 1, kHash, false},  // replaced by it
                                             {"C:\\windows\\e.ini", 1, kHash, true}};  // not written this time
  InheritCreated(earlier, &set);
  ASSERT_EQ(set.files().size(), 4u) << "nothing of the earlier list is added here";
  EXPECT_TRUE(set.files()[1].created);
  EXPECT_FALSE(set.files()[2].created);
  EXPECT_FALSE(set.files()[3].created);
  EXPECT_FALSE(set.MarkCreated("C:\\windows\\e.ini"));
  EXPECT_TRUE(set.MarkCreated("C:\\windows\\D.INI"));
  EXPECT_TRUE(set.files()[3].created);
}
