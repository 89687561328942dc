// `quarnset build` refuses every manifest the installer would misread, naming the manifest line.
#include <gtest/gtest.h>

#include <sstream>
#include <vector>

#include "commands.h"
#include "manifest.h"
#include "set_rules.h"
#include "test_support.h"

namespace quarnset {
namespace {

using testing::ScratchDir;

// Replaces line `line` (1-based) of the valid manifest; line 0 appends. "\n" in the text adds lines.
std::string Edit(int line, const std::string& text) {
  std::istringstream in(testing::ValidManifest());
  std::string out, l;
  int n = 0;
  while (std::getline(in, l)) {
    ++n;
    out += (n == line ? text : l) + "\n";
  }
  if (line == 0) out += text + "\n";
  return out;
}

Findings Judge(const ScratchDir& dir, const std::string& manifest, ManifestOptions options = {}) {
  testing::WriteBytes(dir / "set.qset", manifest);
  Findings findings;
  SetModel set;
  ReadManifest(dir / "set.qset", options, &set, &findings);
  CheckSet(set, Limits{}, &findings);
  return findings;
}

TEST(Manifest, ValidManifestHasNoFindings) {
  ScratchDir dir;
  testing::WriteManifestFiles(dir);
  const Findings f = Judge(dir, testing::ValidManifest());
  EXPECT_TRUE(f.All().empty()) << testing::Dump(f);
}

struct BrokenCase {
  const char* name;
  int line;             // line of the valid manifest to replace (0: append)
  const char* text;     // its replacement
  const char* fragment; // what the refusal must say
  int reportedLine;     // the manifest line it must name
};

const BrokenCase kBroken[] = {
    {"value starting with a star", 6, "Version = *9.20", "begins with '*'", 6},
    {"numbered key out of order", 9, "Dir3 = \\QuarnWin32\\Súgó", "Dir3 is out of order", 9},
    {"numbered key with leading zero", 9, "Dir02 = \\QuarnWin32\\Súgó", "must be Dir2", 9},
    {"file key out of order", 20, "Systems3 = \\f.ttf *%\\Fonts\\f.ttf < files/f.ttf", "Systems3 is out of order", 20},
    {"group command without )]", 15, "Command = [CreateGroup(Q Demo", "holds no \")]\"", 15},
    {"part declared without files", 18, "Label = Q 1\nParts = Systems, Help", "part Help is declared on disc 1 but has no files", 19},
    {"unknown modifier", 20, "Systems = \\f.ttf *x\\Fonts\\f.ttf < files/f.ttf", "unknown modifier '*x'", 20},
    {"target leaving the root folder", 23, "Help = \\a.htm \\..\\..\\Windows\\a.htm < files/a.htm", "'..' component", 23},
    {"source leaving the disc folder", 23, "Help = \\..\\a.htm \\QuarnWin32\\a.htm < files/a.htm", "'..' component", 23},
    {"child folder before its parent", 8, "Dir = \\QuarnWin32\\Súgó\\Képek", "comes before its parent folder", 8},
    {"target folder never created", 23, "Help = \\a.htm \\QuarnWin32\\Help\\a.htm < files/a.htm", "is not created by any Dir entry", 23},
    {"empty file", 23, "Help = \\a.htm \\QuarnWin32\\a.htm < files/empty.bin", "is empty", 23},
    {"missing local file", 23, "Help = \\a.htm \\QuarnWin32\\a.htm < files/nothing.htm", "does not exist", 23},
    {"gap in the disc numbers", 21, "[disc 3]", "would never be fetched", 21},
    {"disc without label", 22, "# no label", "has no Label", 21},
    {"character outside code page 1250", 5, "SubSystem = Demo \xE2\x9C\x93", "code page 1250", 5},
    {"stored name unusable in a URL", 23, "Help = \\a#1.htm \\QuarnWin32\\a.htm < files/a.htm", "maps the download URL", 23},
    {"font never copied", 11, "Font = g.ttf | G Sans", "no file line copies it", 11},
    {"help command with a stray conversion", 16, "Command = [AddItem(%s\\hh.exe %d,Súgó)]", "format string", 16},
    {"target inside the staging folder", 23, "Help = \\a.htm \\QuarnWin32\\Install\\Disc_01\\Install.ini < files/a.htm", "staging folder", 23},
    {"stored name used for two files", 20, "Systems = \\QuarnWin32.ex_ *%\\Fonts\\f.ttf < files/f.ttf", "already used on this disc", 20},
    {"root folder of two levels", 3, "RootDirectory = V92\\Demo", "one folder name", 3},
    {"root folder missing", 3, "# no root", "RootDirectory is missing", 0},
    {"quoted value", 5, "SubSystem = \"Demo\"", "enclosed in quotes", 5},
    {"unknown part", 23, "Helps = \\a.htm \\QuarnWin32\\a.htm < files/a.htm", "unknown key Helps", 23},
    {"undefined variable", 23, "Help = \\a.htm \\QuarnWin32\\a.htm < ${NOWHERE}/a.htm", "${NOWHERE} is not defined", 23},
    {"stored under the file list's name", 23, "Help = \\Fajls_2.ini \\QuarnWin32\\a.htm < files/a.htm", "description file", 23},
    {"file line without target", 23, "Help = \\a.htm < files/a.htm", "has no target", 23},
    {"unknown section", 0, "[extras]", "unknown section [extras]", 24},
    {"same key twice", 6, "Version = 9.20\nversion = 9.21", "given twice", 7},
    {"group name that cannot name a file", 15, "Command = [CreateGroup(Q/Demo)]", "cannot be saved", 15},
    {"extension without dot", 13, "Type = qdw | Q.Rajz", "leading dot", 13},
};

// Cases whose text is built at run time (long lines).
std::vector<BrokenCase> Cases() {
  static const std::string longDir = "Dir = \\QuarnWin32\\Súgó\\" + std::string(232, 'x');
  static const std::string longDirParent = "Dir = \\QuarnWin32\\Súgó\n" + longDir;
  static const std::string longCommand = "Command = [AddItem(" + std::string(20, '#') + std::string(60, 'x') + ")]";
  static const std::string longKey = "CadSystem = Q" + std::string(250, 'c');
  std::vector<BrokenCase> cases;
  for (const auto& c : kBroken) cases.push_back(c);
  cases.push_back({"folder path of 256 characters with the root", 9, longDirParent.c_str(), "256-byte buffer", 10});
  cases.push_back({"command too long once # is replaced", 16, longCommand.c_str(), "once # and %s are replaced", 16});
  cases.push_back({"key line longer than 255 characters", 4, longKey.c_str(), "cuts every line to 255", 4});
  return cases;
}

TEST(Manifest, EachBrokenManifestIsRefusedWithItsOwnMessageAndLine) {
  ScratchDir dir;
  testing::WriteManifestFiles(dir);
  for (const BrokenCase& c : Cases()) {
    SCOPED_TRACE(c.name);
    const Findings f = Judge(dir, Edit(c.line, c.text));
    ASSERT_TRUE(f.HasErrors()) << testing::Dump(f);
    bool found = false;
    for (const auto& finding : f.All()) {
      if (finding.severity == Severity::Error && finding.text.find(c.fragment) != std::string::npos &&
          finding.where.line == c.reportedLine && finding.where.file == dir / "set.qset")
        found = true;
    }
    EXPECT_TRUE(found) << "expected an error naming line " << c.reportedLine << " with \"" << c.fragment << "\"; got:\n"
                       << testing::Dump(f);
  }
}

TEST(Manifest, ProjectsPartAndMissingGroupAreWarningsNotErrors) {
  ScratchDir dir;
  testing::WriteManifestFiles(dir);
  const Findings f = Judge(dir, Edit(23, "Projects = \\a.htm \\QuarnWin32\\Súgó\\a.htm < files/a.htm"));
  EXPECT_FALSE(f.HasErrors()) << testing::Dump(f);
  EXPECT_TRUE(f.Mentions("part Projects is never installed")) << testing::Dump(f);
  const Findings g = Judge(dir, Edit(15, "Command = [ShowGroup(Q Demo,1)]"));
  EXPECT_FALSE(g.HasErrors()) << testing::Dump(g);
  EXPECT_TRUE(g.Mentions("no program group and no desktop shortcut")) << testing::Dump(g);
  const Findings h = Judge(dir, Edit(15, "Command = [CreateGroup()]"));
  EXPECT_FALSE(h.HasErrors()) << testing::Dump(h);
  EXPECT_TRUE(h.Mentions("names an empty group")) << testing::Dump(h);
}

TEST(Manifest, CommandLineVariablesOverrideTheManifest) {
  ScratchDir dir;
  testing::WriteManifestFiles(dir);
  const std::string text = Edit(0, "").insert(0, "[variables]\nAPP = files/nothing.exe\n");
  std::string manifest = text;
  const std::string from = "< files/app.exe";
  manifest.replace(manifest.find(from), from.size(), "< ${APP}");
  EXPECT_TRUE(Judge(dir, manifest).Mentions("does not exist"));
  ManifestOptions options;
  options.variables["APP"] = (dir / "files/app.exe");
  const Findings f = Judge(dir, manifest, options);
  EXPECT_FALSE(f.HasErrors()) << testing::Dump(f);
}

TEST(Manifest, RefusedBuildWritesNothing) {
  ScratchDir dir;
  testing::WriteManifestFiles(dir);
  testing::WriteBytes(dir / "set.qset", Edit(6, "Version = *9.20"));
  std::ostringstream out, err;
  const int rc = RunQuarnset({"build", "-q", dir / "set.qset", dir / "out"}, out, err);
  EXPECT_EQ(rc, kExitFindings);
  EXPECT_NE(out.str().find("set.qset:6: error: Version begins with '*'"), std::string::npos) << out.str();
  EXPECT_FALSE(std::filesystem::exists(dir / "out"));
}

TEST(Manifest, BuildKeepsForeignFilesAndReplacesAnEarlierSet) {
  ScratchDir dir;
  testing::WriteManifestFiles(dir);
  testing::WriteBytes(dir / "set.qset", testing::ValidManifest());
  std::ostringstream out, err;
  ASSERT_EQ(RunQuarnset({"build", "-q", dir / "set.qset", dir / "out"}, out, err), kExitClean) << out.str() << err.str();
  // A stale disc from an earlier, longer set would extend the new set: it must go.
  testing::WriteBytes(dir / "out/KelvaranDemo/Disc_03/Fajls_3.ini", "[Disc]\r\nName=old\r\n");
  ASSERT_EQ(RunQuarnset({"build", "-q", dir / "set.qset", dir / "out"}, out, err), kExitClean) << out.str() << err.str();
  EXPECT_FALSE(std::filesystem::exists(dir / "out/KelvaranDemo/Disc_03"));
  // A folder holding something else is not ours to replace.
  testing::WriteBytes(dir / "other/notes.txt", "mine");
  std::ostringstream out2, err2;
  EXPECT_EQ(RunQuarnset({"build", "-q", dir / "set.qset", dir / "other"}, out2, err2), kExitUsage);
  EXPECT_NE(err2.str().find("notes.txt"), std::string::npos) << err2.str();
  EXPECT_EQ(testing::ReadBytes(dir / "other/notes.txt"), "mine");
}

TEST(Manifest, HelpForEachCommand) {
  for (const std::vector<std::string>& args : {std::vector<std::string>{"build", "--help"}, {"check", "--help"}, {"--help"}}) {
    std::ostringstream out, err;
    EXPECT_EQ(RunQuarnset(args, out, err), kExitClean);
    EXPECT_NE(out.str().find("usage: quarnset"), std::string::npos);
  }
  std::ostringstream out, err;
  EXPECT_EQ(RunQuarnset({"build", "only-one-argument"}, out, err), kExitUsage);
  EXPECT_EQ(RunQuarnset({"frobnicate"}, out, err), kExitUsage);
}

}  // namespace
}  // namespace quarnset
