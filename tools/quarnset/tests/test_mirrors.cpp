// `quarnset build --mirror`: the URLs it takes and refuses, and where the list lands in Sign.ini (in the
// signed part, covered by the signature, read back by the installer's own reader).
#include <gtest/gtest.h>

#include <sstream>

#include "commands.h"
#include "layout/mirror_list.h"
#include "layout/set_hashes.h"
#include "test_support.h"

namespace quarnset {
namespace {

class MirrorBuild : public ::testing::Test {
 protected:
  void SetUp() override {
    testing::WriteManifestFiles(dir_);
    testing::WriteBytes(dir_ / "set.qset", testing::ValidManifest());
  }
  int Build(std::vector<std::string> extra, std::string* err) {
    std::vector<std::string> args = {"build", "-q"};
    args.insert(args.end(), extra.begin(), extra.end());
    args.push_back(dir_ / "set.qset");
    args.push_back(dir_ / "out");
    std::ostringstream o, e;
    const int rc = RunQuarnset(args, o, e);
    *err = o.str() + e.str();
    return rc;
  }
  std::string SignText() { return testing::ReadBytes(dir_ / "out/KelvaranDemo/Disc_01/Sign.ini"); }

  testing::ScratchDir dir_;
};

struct RefusedCase {
  const char* name;
  std::vector<std::string> mirrors;
  const char* message;
};

TEST_F(MirrorBuild, RefusesBadMirrorUrls) {
  std::vector<std::string> nine;
  for (int i = 1; i <= 9; ++i) nine.push_back("http://m" + std::to_string(i) + ".example/x");
  const RefusedCase cases[] = {
      {"ftp", {"ftp://m.example/x"}, "neither http:// nor https://"},
      {"user info", {"https://u:p@m.example/x"}, "names a user"},
      {"query", {"https://m.example/x?a=1"}, "query or a fragment"},
      {"fragment", {"https://m.example/x#top"}, "query or a fragment"},
      {"control byte", {"https://m.example/x\ty"}, "control byte"},
      {"no host", {"http:///x"}, "no usable host"},
      {"duplicate after normalising", {"https://m.example/x", "HTTPS://m.example/x/"}, "given twice"},
      {"nine mirrors", nine, "at most 8 mirrors"},
  };
  for (const RefusedCase& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<std::string> args;
    for (const std::string& m : c.mirrors) {
      args.push_back("--mirror");
      args.push_back(m);
    }
    std::string err;
    EXPECT_EQ(Build(args, &err), kExitUsage);
    EXPECT_NE(err.find(c.message), std::string::npos) << err;
    EXPECT_FALSE(std::filesystem::exists(dir_ / "out")) << "nothing is written";
  }
  std::ostringstream o, e;
  EXPECT_EQ(RunQuarnset({"build", "--mirror"}, o, e), kExitUsage);
  EXPECT_NE(e.str().find("--mirror needs a URL"), std::string::npos) << e.str();
}

TEST_F(MirrorBuild, ListIsInTheSignedPart) {
  std::ostringstream o, e;
  ASSERT_EQ(RunQuarnset({"keygen", dir_ / "k"}, o, e), kExitClean) << e.str();
  std::string err;
  ASSERT_EQ(Build({"--sign", dir_ / "k", "--mirror", "https://a.example/Download/UpDate-V9.20", "--mirror",
                   "http://127.0.0.2:8080/UpDate-V9.20/"},
                  &err),
            kExitClean)
      << err;
  const std::string sign = SignText();
  size_t signedSize = 0;
  unsigned char signature[kSignatureSize];
  ASSERT_EQ(ReadSignature(sign.data(), sign.size(), &signedSize, signature), SignatureData::kPresent);
  const size_t at = sign.find("[Mirrors]\r\n1=https://a.example/Download/UpDate-V9.20\r\n2=http://127.0.0.2:8080/UpDate-V9.20\r\n");
  ASSERT_NE(at, std::string::npos) << sign;
  EXPECT_LT(at, signedSize);
  std::vector<MirrorUrl> mirrors;
  ASSERT_EQ(ReadSignedMirrorList(sign.data(), sign.size(), &mirrors), MirrorData::kPresent);
  EXPECT_EQ(mirrors.size(), 2u);
  // The check of the tree verifies the signature over the list too: one changed byte of a URL breaks it.
  std::string changed = sign;
  changed[at + 12] = 'b';  // "https://a" -> "https://b"
  testing::WriteBytes(dir_ / "out/KelvaranDemo/Disc_01/Sign.ini", changed);
  std::ostringstream co, ce;
  EXPECT_EQ(RunQuarnset({"check", "-q", "--key", dir_ / "k.pub", dir_ / "out"}, co, ce), kExitFindings);
  EXPECT_NE(co.str().find("the signature does not hold"), std::string::npos) << co.str();
}

TEST_F(MirrorBuild, WithoutMirrorsSignIniIsAsBefore) {
  std::string err;
  ASSERT_EQ(Build({}, &err), kExitClean) << err;
  EXPECT_EQ(SignText().find("[Mirrors]"), std::string::npos);
}

TEST_F(MirrorBuild, TreeCheckReportsAListTheInstallerWouldNotUse) {
  std::string err;
  ASSERT_EQ(Build({}, &err), kExitClean) << err;
  const std::string sign = SignText();
  struct Case {
    const char* name;
    std::string text;
    int rc;
    const char* finding;
  } cases[] = {
      {"malformed list", sign + "[Mirrors]\r\n1=ftp://x/y\r\n", kExitFindings, "error: [Mirrors] 1: the URL neither"},
      {"list after the signature", sign + "[Signature]\r\nECDSA-P256-SHA256=" + std::string(128, '0') +
                                       "\r\n[Mirrors]\r\n1=http://x.example/y\r\n",
       kExitClean, "warning: has a [Mirrors] section after [Signature]"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    testing::WriteBytes(dir_ / "out/KelvaranDemo/Disc_01/Sign.ini", c.text);
    std::ostringstream o, e;
    EXPECT_EQ(RunQuarnset({"check", "-q", dir_ / "out"}, o, e), c.rc) << o.str();
    EXPECT_NE(o.str().find(c.finding), std::string::npos) << o.str();
  }
}

}  // namespace
}  // namespace quarnset
