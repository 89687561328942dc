// `quarnset check DIR` finds every fault of a published tree that would make the installer fail or
// install something wrong, each with its own message and place.
#include <gtest/gtest.h>

#include <functional>
#include <sstream>

#include "commands.h"
#include "fetcher.h"
#include "set_reader.h"
#include "set_writer.h"
#include "test_support.h"
#include "text_util.h"

namespace quarnset {
namespace {

using testing::ScratchDir;

// Builds the valid test set into dir/out and returns the tree's root.
std::string BuildValidTree(const ScratchDir& dir) {
  testing::WriteManifestFiles(dir);
  testing::WriteBytes(dir / "set.qset", testing::ValidManifest());
  std::ostringstream out, err;
  EXPECT_EQ(RunQuarnset({"build", "-q", dir / "set.qset", dir / "out"}, out, err), kExitClean) << out.str() << err.str();
  return dir / "out";
}

Findings CheckTree(const std::string& root) {
  Findings findings;
  auto fetcher = MakeDirectoryFetcher(root);
  CheckPublishedSet(*fetcher, Limits{}, &findings, nullptr);
  return findings;
}

void Replace(const std::string& path, const std::string& from, const std::string& to) {
  std::string text = testing::ReadBytes(path);
  const size_t at = text.find(from);
  ASSERT_NE(at, std::string::npos) << from << " not in " << path;
  text.replace(at, from.size(), to);
  testing::WriteBytes(path, text);
}

TEST(TreeCheck, BuiltTreeIsCleanAndExact) {
  ScratchDir dir;
  const std::string root = BuildValidTree(dir);
  const Findings f = CheckTree(root);
  EXPECT_TRUE(f.All().empty()) << testing::Dump(f);
  // Every text file has CR LF line ends only.
  for (const char* file : {"Update.ini", "KelvaranDemo/Disc_01/Install.ini", "KelvaranDemo/Disc_01/Fajls_1.ini",
                           "KelvaranDemo/Disc_02/Fajls_2.ini"}) {
    const std::string text = testing::ReadBytes(root + "/" + file);
    ASSERT_FALSE(text.empty()) << file;
    for (size_t i = 0; i < text.size(); ++i) {
      if (text[i] == '\n') {
        EXPECT_TRUE(i > 0 && text[i - 1] == '\r') << file << " offset " << i;
      }
      if (text[i] == '\r') {
        EXPECT_TRUE(i + 1 < text.size() && text[i + 1] == '\n') << file << " offset " << i;
      }
    }
    EXPECT_EQ(text.substr(text.size() - 2), "\r\n") << file;
  }
  // The filler file holds the content at odd offsets; the part size counts the content.
  const std::string app = testing::ReadBytes(dir / "files/app.exe");
  const std::string stored = testing::ReadBytes(root + "/KelvaranDemo/Disc_01/QuarnWin32.ex_");
  ASSERT_EQ(stored.size(), 2 * app.size());
  std::string decoded;
  for (size_t i = 1; i < stored.size(); i += 2) decoded.push_back(stored[i]);
  EXPECT_EQ(decoded, app);
  const std::string desc = testing::ReadBytes(root + "/KelvaranDemo/Disc_01/Install.ini");
  EXPECT_NE(desc.find("Systems=" + std::to_string(app.size() + 1000) + "\r\n"), std::string::npos) << desc;
  // Code page 1250 bytes: "Súgó".
  EXPECT_NE(desc.find("Dir2=\\QuarnWin32\\S\xFAg\xF3\r\n"), std::string::npos);
  // The separator is kept as the maker wrote it.
  EXPECT_NE(testing::ReadBytes(root + "/KelvaranDemo/Disc_02/Fajls_2.ini").find("File1=\\a.htm,  \\QuarnWin32"), std::string::npos);
}

TEST(TreeCheck, FillerBytesDoNotDependOnChunking) {
  std::string content;
  for (int i = 0; i < 1001; ++i) content.push_back(static_cast<char>(i * 13));
  const std::string whole = AddFillerBytes(content, 0);
  const std::string pieces = AddFillerBytes(content.substr(0, 333), 0) + AddFillerBytes(content.substr(333), 333);
  EXPECT_EQ(whole, pieces);
}

struct TreeCase {
  const char* name;
  std::function<void(const std::string& root)> damage;
  const char* fragment;
  const char* fileSuffix;  // the file (or URL) the finding must name
  int line;                // the line it must name; -1: any
};

const std::string kDesc = "/KelvaranDemo/Disc_01/Install.ini";
const std::string kList1 = "/KelvaranDemo/Disc_01/Fajls_1.ini";
const std::string kList2 = "/KelvaranDemo/Disc_02/Fajls_2.ini";

std::vector<TreeCase> TreeCases() {
  return {
      {"probe markers in the wrong order",
       [](const std::string& r) { testing::WriteBytes(r + "/Update.ini", "QuarnSoft Ltd. 1992-2019.\r\nQuarnCAD WEB update system: V9.21\r\n"); },
       "must come after", "/Update.ini", -1},
      {"probe with LF line ends",
       [](const std::string& r) { testing::WriteBytes(r + "/Update.ini", "QuarnCAD WEB update system: V9.21\nQuarnSoft Ltd. 1992-2019.\n"); },
       "must end with CR LF", "/Update.ini", -1},
      {"probe missing", [](const std::string& r) { std::filesystem::remove(r + "/Update.ini"); },
       "does not accept this host", "/Update.ini", -1},
      {"description with LF line ends",
       [](const std::string& r) { Replace(r + kDesc, "[System]\r\n", "[System]\n"); }, "LF alone", kDesc.c_str(), 2},
      {"description missing", [](const std::string& r) { std::filesystem::remove(r + kDesc); },
       "stops before downloading anything", kDesc.c_str(), -1},
      {"described disc without its file list", [](const std::string& r) { std::filesystem::remove(r + kList2); },
       "the download never fetches it", kDesc.c_str(), -1},
      {"filler file of odd length",
       [](const std::string& r) { testing::WriteBytes(r + "/KelvaranDemo/Disc_01/QuarnWin32.ex_", testing::ReadBytes(r + "/KelvaranDemo/Disc_01/QuarnWin32.ex_") + "x"); },
       "odd length", "/KelvaranDemo/Disc_01/QuarnWin32.ex_", -1},
      {"part size not matching the files", [](const std::string& r) { Replace(r + kDesc, "Help=", "Help=1"); },
       "the progress display would be wrong", kDesc.c_str(), -1},
      {"labels differing between the two files", [](const std::string& r) { Replace(r + kList2, "Name=Q 2", "Name=q 2"); },
       "differs from", kList2.c_str(), -1},
      {"listed file missing", [](const std::string& r) { std::filesystem::remove(r + "/KelvaranDemo/Disc_02/a.htm"); },
       "status 404", kList2.c_str(), -1},
      {"empty file", [](const std::string& r) { testing::WriteBytes(r + "/KelvaranDemo/Disc_02/a.htm", ""); },
       "Content-Length 0", kList2.c_str(), -1},
      {"File10 before File1",
       [](const std::string& r) { Replace(r + kList1, "File1=", "File10=\\x.bin \\QuarnWin32\\x.bin\r\nFile1="); },
       "comes first", kList1.c_str(), -1},
      {"size with letters after the digits", [](const std::string& r) { Replace(r + kDesc, "Help=", "Help=0x"); },
       "not a plain decimal number", kDesc.c_str(), -1},
      {"section name in the wrong case", [](const std::string& r) { Replace(r + kDesc, "[System]", "[system]"); },
       "must be spelled [System]", kDesc.c_str(), 2},
      {"key line indented", [](const std::string& r) { Replace(r + kDesc, "CadSystem=", " CadSystem="); },
       "does not begin in the first column", kDesc.c_str(), 4},
      {"value with a trailing blank", [](const std::string& r) { Replace(r + kDesc, "Version=9.20", "Version=9.20 "); },
       "has blanks at its start or end", kDesc.c_str(), 6},
      {"line of 256 characters", [](const std::string& r) { Replace(r + kDesc, "SubSystem=Demo", "SubSystem=Demo" + std::string(242, 'x')); },
       "cuts every line to 255", kDesc.c_str(), 5},
      {"section given twice", [](const std::string& r) { Replace(r + kDesc, "[Command]", "[Directorys]\r\n[Command]"); },
       "appears twice", kDesc.c_str(), -1},
      {"last line without CR LF",
       [](const std::string& r) { std::string t = testing::ReadBytes(r + kList2); testing::WriteBytes(r + kList2, t.substr(0, t.size() - 2)); },
       "the last line has no CR LF", kList2.c_str(), -1},
      {"size key of a part without files", [](const std::string& r) { Replace(r + kDesc, "Name=Q 1\r\n", "Name=Q 1\r\nHelp=5\r\n"); },
       "but no files in the disc's file list", kDesc.c_str(), -1},
      {"files of a part without size key", [](const std::string& r) { Replace(r + kDesc, "Systems=", "Sistems="); },
       "the download skips them and the copy then finds them missing", kList1.c_str(), -1},
      {"byte order mark", [](const std::string& r) { testing::WriteBytes(r + kList2, "\xEF\xBB\xBF" + testing::ReadBytes(r + kList2)); },
       "byte order mark", kList2.c_str(), 1},
      {"disc folder past the end of the set",
       [](const std::string& r) { testing::WriteBytes(r + "/KelvaranDemo/Disc_04/Fajls_4.ini", "[Disc]\r\nName=Q 4\r\n"); },
       "past the end of the set", "/KelvaranDemo/Disc_04", -1},
      {"list with a gap", [](const std::string& r) { Replace(r + kList1, "File2=", "File3="); },
       "File3 is never read", kList1.c_str(), -1},
      {"value beginning with a star", [](const std::string& r) { Replace(r + kDesc, "Dir2=", "Dir2=*"); },
       "begins with '*'", kDesc.c_str(), -1},
      {"description file above the installer's bound",
       [](const std::string& r) { testing::WriteBytes(r + kList2, testing::ReadBytes(r + kList2) + std::string(17 * 1024 * 1024, ';')); },
       "refuses any above", kList2.c_str(), -1},
      {"font without its name", [](const std::string& r) { Replace(r + kDesc, "FontName1=F Sans (TrueType)", "FontName1="); },
       "FontFile1 is never read", kDesc.c_str(), -1},
  };
}

TEST(TreeCheck, EachBrokenTreeIsReportedWithItsOwnMessageAndPlace) {
  for (const TreeCase& c : TreeCases()) {
    SCOPED_TRACE(c.name);
    ScratchDir dir;
    const std::string root = BuildValidTree(dir);
    c.damage(root);
    const Findings f = CheckTree(root);
    bool found = false;
    for (const auto& finding : f.All()) {
      if (finding.text.find(c.fragment) != std::string::npos && EndsWith(finding.where.file, c.fileSuffix) &&
          (c.line < 0 || finding.where.line == c.line))
        found = true;
    }
    EXPECT_TRUE(found) << "expected \"" << c.fragment << "\" at " << c.fileSuffix << ":" << c.line << "; got:\n" << testing::Dump(f);
    // Every damage here is one the installer would trip over, except a stray disc folder.
    if (std::string(c.fragment) != "past the end of the set") {
      EXPECT_TRUE(f.HasErrors()) << testing::Dump(f);
    }
  }
}

TEST(TreeCheck, CheckCommandExitsNonZeroOnlyOnErrors) {
  ScratchDir dir;
  const std::string root = BuildValidTree(dir);
  std::ostringstream out, err;
  EXPECT_EQ(RunQuarnset({"check", "-q", root}, out, err), kExitClean) << out.str();
  EXPECT_EQ(out.str(), "");
  Replace(root + kList2, "Name=Q 2", "Name=Q 3");
  std::ostringstream out2, err2;
  EXPECT_EQ(RunQuarnset({"check", "-q", root}, out2, err2), kExitFindings);
  // One line per finding: file:line: error: text
  EXPECT_NE(out2.str().find("Fajls_2.ini: error: the label \"Q 3\" differs from \"Q 2\""), std::string::npos) << out2.str();
  std::ostringstream out3, err3;
  EXPECT_EQ(RunQuarnset({"check", dir / "no-such-folder"}, out3, err3), kExitUsage);
}

}  // namespace
}  // namespace quarnset
