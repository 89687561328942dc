// Hashes and signatures: libcrypto against the known vectors the Windows side passes too, and the round
// trips keygen -> build --sign -> check --key, with every way a published set can be altered reported
// with the file and what differs.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstring>
#include <ctime>
#include <filesystem>
#include <functional>
#include <sstream>

#include "commands.h"
#include "crypto.h"
#include "set_writer.h"
#include "test_support.h"
#include "tests/vectors/set_crypto_vectors.h"
#include "layout/set_hashes.h"

namespace quarnset {
namespace {

using namespace set_crypto_vectors;

TEST(Signing, Sha256KnownVectors) {
  for (const Sha256Vector& v : kSha256) {
    SCOPED_TRACE(v.name);
    Sha256 h;
    for (size_t i = 0; i < v.repeat; ++i) h.Update(v.message, strlen(v.message));
    unsigned char d[kSha256Size];
    h.Finish(d);
    EXPECT_EQ(HexText(d, kSha256Size), v.sha256);
  }
}

TEST(Signing, KnownSignaturesVerify) {
  testing::ScratchDir dir;
  testing::WriteBytes(dir / "key.pub", kPublicKey);
  testing::WriteBytes(dir / "other.pub", kOtherPublicKey);
  for (const SignatureVector& v : kSignatures) {
    SCOPED_TRACE(v.name);
    unsigned char sig[kSignatureSize];
    ASSERT_TRUE(ParseHex(v.signature, strlen(v.signature), sig, kSignatureSize));
    bool good = false;
    std::string error;
    ASSERT_TRUE(VerifyWithPublicKeyFile(dir / "key.pub", v.message, sig, &good, &error)) << error;
    EXPECT_TRUE(good);
    ASSERT_TRUE(VerifyWithPublicKeyFile(dir / "other.pub", v.message, sig, &good, &error)) << error;
    EXPECT_FALSE(good);
    ASSERT_TRUE(VerifyWithPublicKeyFile(dir / "key.pub", std::string(v.message) + "x", sig, &good, &error));
    EXPECT_FALSE(good);
    sig[63] ^= 1;
    ASSERT_TRUE(VerifyWithPublicKeyFile(dir / "key.pub", v.message, sig, &good, &error));
    EXPECT_FALSE(good);
  }
  // Keys of other kinds are refused with a reason, not misread.
  for (const char* key : {kRsaPublicKey, kP384PublicKey}) {
    testing::WriteBytes(dir / "wrong.pub", key);
    unsigned char sig[kSignatureSize] = {};
    bool good = true;
    std::string error;
    EXPECT_FALSE(VerifyWithPublicKeyFile(dir / "wrong.pub", "abc", sig, &good, &error));
    EXPECT_NE(error.find("not an ECDSA P-256 key"), std::string::npos) << error;
  }
}

TEST(Signing, KeygenSignVerifyRoundTrip) {
  testing::ScratchDir dir;
  std::ostringstream out, err;
  ASSERT_EQ(RunQuarnset({"keygen", dir / "k"}, out, err), kExitClean) << err.str();
  struct stat st;
  ASSERT_EQ(stat((dir / "k").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u) << "the private key is for its owner only";
  EXPECT_NE(testing::ReadBytes(dir / "k.pub").find("-----BEGIN PUBLIC KEY-----"), std::string::npos);
  // A second keygen never replaces the key.
  const std::string before = testing::ReadBytes(dir / "k");
  EXPECT_EQ(RunQuarnset({"keygen", dir / "k"}, out, err), kExitUsage);
  EXPECT_EQ(testing::ReadBytes(dir / "k"), before);
  // Signatures are raw r||s and verify; many of them, so that short r or s values come up.
  for (int i = 0; i < 50; ++i) {
    const std::string message = "message " + std::to_string(i);
    unsigned char sig[kSignatureSize];
    std::string error;
    ASSERT_TRUE(SignWithKeyFile(dir / "k", message, sig, &error)) << error;
    bool good = false;
    ASSERT_TRUE(VerifyWithPublicKeyFile(dir / "k.pub", message, sig, &good, &error)) << error;
    EXPECT_TRUE(good) << i;
  }
}

// A published, signed copy of the test set.
struct SignedSet {
  testing::ScratchDir dir;
  std::string set;
  SignedSet() {
    testing::WriteManifestFiles(dir);
    testing::WriteBytes(dir / "m.qset", testing::ValidManifest());
    std::ostringstream out, err;
    EXPECT_EQ(RunQuarnset({"keygen", dir / "k"}, out, err), kExitClean);
    EXPECT_EQ(RunQuarnset({"keygen", dir / "other"}, out, err), kExitClean);
    set = dir / "set";
    EXPECT_EQ(RunQuarnset({"build", "-q", "--sign", dir / "k", dir / "m.qset", set}, out, err), kExitClean)
        << out.str() << err.str();
  }
  std::string Path(const std::string& rel) const { return set + "/KelvaranDemo/" + rel; }
  int Check(const std::vector<std::string>& extra, std::string* output) const {
    std::vector<std::string> args{"check", "-q"};
    args.insert(args.end(), extra.begin(), extra.end());
    args.push_back(set);
    std::ostringstream out, err;
    int rc = RunQuarnset(args, out, err);
    *output = out.str();
    return rc;
  }
};

void ChangeByte(const std::string& path, size_t at) {
  std::string bytes = testing::ReadBytes(path);
  ASSERT_LT(at, bytes.size());
  bytes[at] = static_cast<char>(bytes[at] ^ 0x20);
  testing::WriteBytes(path, bytes);
}

TEST(Signing, SignedSetChecksCleanWithItsKey) {
  SignedSet s;
  std::string out;
  EXPECT_EQ(s.Check({"--key", s.dir / "k.pub"}, &out), kExitClean) << out;
  EXPECT_EQ(out, "");
  EXPECT_EQ(s.Check({}, &out), kExitClean) << out;
  EXPECT_EQ(out, "");
  const std::string sign = testing::ReadBytes(s.Path("Disc_01/Sign.ini"));
  for (const char* needle : {"[Hashes]\r\nInstall.ini=", "\r\nFajls_1.ini=", "\r\nFajls_2.ini=", "\r\n[Signature]\r\nECDSA-P256-SHA256="})
    EXPECT_NE(sign.find(needle), std::string::npos) << needle << "\n" << sign;
  // Staged content: the filler file's hash line gives its content size (3001), not the stored 6002.
  EXPECT_NE(testing::ReadBytes(s.Path("Disc_01/Fajls_1.ini")).find("\r\n[Hashes]\r\nQuarnWin32.ex_=3001 "), std::string::npos);
}

struct AlterCase {
  const char* name;
  std::function<void(const SignedSet&)> alter;
  bool withKey;
  std::string place;     // the file the finding names
  std::string fragment;  // and what it says
};

TEST(Signing, EveryAlterationIsReportedWithFileAndDifference) {
  const AlterCase cases[] = {
      {"one byte of a filler file's content", [](const SignedSet& s) { ChangeByte(s.Path("Disc_01/QuarnWin32.ex_"), 101); }, false,
       "Disc_01/QuarnWin32.ex_", "damaged: its staged content has SHA-256"},
      {"a filler byte only: the staged content is the same", [](const SignedSet& s) { ChangeByte(s.Path("Disc_01/QuarnWin32.ex_"), 100); },
       false, "", ""},
      {"one byte of a plain file", [](const SignedSet& s) { ChangeByte(s.Path("Disc_02/a.htm"), 2); }, false, "Disc_02/a.htm",
       "SHA-256"},
      {"a file cut short", [](const SignedSet& s) {
         std::string b = testing::ReadBytes(s.Path("Disc_01/f.ttf"));
         testing::WriteBytes(s.Path("Disc_01/f.ttf"), b.substr(0, 999));
       }, false, "Disc_01/f.ttf", "size 999 bytes, the hash data says 1000"},
      {"a file list changed", [](const SignedSet& s) { ChangeByte(s.Path("Disc_02/Fajls_2.ini"), 3); }, false, "Disc_02/Fajls_2.ini",
       "does not match its hash in Sign.ini"},
      {"Install.ini changed", [](const SignedSet& s) { ChangeByte(s.Path("Disc_01/Install.ini"), 5); }, false, "Disc_01/Install.ini",
       "does not match its hash in Sign.ini"},
      {"a hash line changed", [](const SignedSet& s) {
         std::string b = testing::ReadBytes(s.Path("Disc_01/Fajls_1.ini"));
         b.replace(b.find("f.ttf=1000 "), 11, "f.ttf=10x0 ");
         testing::WriteBytes(s.Path("Disc_01/Fajls_1.ini"), b);
       }, false, "Disc_01/Fajls_1.ini", "is not a hash line"},
      {"Sign.ini's hashes changed after signing", [](const SignedSet& s) {
         std::string b = testing::ReadBytes(s.Path("Disc_01/Sign.ini"));
         b.insert(b.find("[Signature]"), "; note\r\n");
         testing::WriteBytes(s.Path("Disc_01/Sign.ini"), b);
       }, true, "Disc_01/Sign.ini", "the signature does not hold"},
      {"signed by another key", [](const SignedSet& s) {
         std::ostringstream out, err;
         RunQuarnset({"build", "-q", "--sign", s.dir / "other", s.dir / "m.qset", s.set}, out, err);
       }, true, "Disc_01/Sign.ini", "the signature does not hold for the key"},
      {"Sign.ini removed, checked with a key", [](const SignedSet& s) { std::filesystem::remove(s.Path("Disc_01/Sign.ini")); }, true,
       "Disc_01/Sign.ini", "is missing (status 404): the set is not signed"},
      {"signature removed, checked with a key", [](const SignedSet& s) {
         std::string b = testing::ReadBytes(s.Path("Disc_01/Sign.ini"));
         testing::WriteBytes(s.Path("Disc_01/Sign.ini"), b.substr(0, b.find("[Signature]")));
       }, true, "Disc_01/Sign.ini", "is not signed"},
  };
  for (const AlterCase& c : cases) {
    SCOPED_TRACE(c.name);
    SignedSet s;
    c.alter(s);
    std::string out;
    std::vector<std::string> extra;
    if (c.withKey) extra = {"--key", s.dir / "k.pub"};
    const int rc = s.Check(extra, &out);
    if (c.place.empty()) {
      EXPECT_EQ(rc, kExitClean) << out;
      continue;
    }
    EXPECT_EQ(rc, kExitFindings) << out;
    bool found = false;
    std::istringstream lines(out);
    for (std::string line; std::getline(lines, line);)
      found |= line.find(c.place) != std::string::npos && line.find(": error: ") != std::string::npos &&
               line.find(c.fragment) != std::string::npos;
    EXPECT_TRUE(found) << "expected an error on " << c.place << " saying " << c.fragment << ":\n" << out;
  }
}

TEST(Signing, OldSetWithoutHashesChecksAsBefore) {
  SignedSet s;
  // Strip what this version adds: Sign.ini and every [Hashes] section.
  std::filesystem::remove(s.Path("Disc_01/Sign.ini"));
  for (const char* list : {"Disc_01/Fajls_1.ini", "Disc_02/Fajls_2.ini"}) {
    std::string b = testing::ReadBytes(s.Path(list));
    testing::WriteBytes(s.Path(list), b.substr(0, b.find("\r\n[Hashes]") + 2));
  }
  std::string out;
  EXPECT_EQ(s.Check({}, &out), kExitClean) << out;
  EXPECT_EQ(out, "");
}

}  // namespace
}  // namespace quarnset

namespace quarnset {
namespace {

SetIdentity IdentityOf(const SignedSet& s) {
  const std::string text = testing::ReadBytes(s.Path("Disc_01/Sign.ini"));
  size_t signedSize = 0;
  unsigned char sig[kSignatureSize];
  EXPECT_EQ(ReadSignature(text.data(), text.size(), &signedSize, sig), SignatureData::kPresent);
  SetIdentity id;
  EXPECT_EQ(ReadSetIdentity(text.data(), signedSize, &id), IdentityData::kPresent) << text;
  return id;
}

int BuildSigned(const SignedSet& s, const std::vector<std::string>& options, std::string* output) {
  std::vector<std::string> args{"build", "-q", "--sign", s.dir / "k"};
  args.insert(args.end(), options.begin(), options.end());
  args.push_back(s.dir / "m.qset");
  args.push_back(s.set);
  std::ostringstream out, err;
  const int rc = RunQuarnset(args, out, err);
  *output = out.str() + err.str();
  return rc;
}

int64_t Today() { return static_cast<int64_t>(time(nullptr)) / 86400; }

TEST(Signing, BuildWritesTheIdentityAndItsOptionsRoundTrip) {
  SignedSet s;
  SetIdentity id = IdentityOf(s);
  EXPECT_EQ(id.folder, "KelvaranDemo");
  EXPECT_EQ(id.cadSystem, "QuarnCAD");
  EXPECT_EQ(id.version, "9.20");
  EXPECT_EQ(id.sequence, 1u) << "a first set has sequence 1";
  EXPECT_EQ(DayNumber(id.expiresYear, id.expiresMonth, id.expiresDay), Today() + 365) << "valid 365 days by default";
  std::string out;
  ASSERT_EQ(BuildSigned(s, {}, &out), kExitClean) << out;
  EXPECT_EQ(IdentityOf(s).sequence, 2u) << "one more than the set already in OUTDIR";
  ASSERT_EQ(BuildSigned(s, {"--expires", "2031-05-06", "--sequence", "18446744073709551615"}, &out), kExitClean) << out;
  id = IdentityOf(s);
  EXPECT_EQ(FormatUtcDate(id.expiresYear, id.expiresMonth, id.expiresDay), "2031-05-06");
  EXPECT_EQ(id.sequence, UINT64_MAX);
  // Nothing is above the highest sequence: the maker must choose one.
  EXPECT_EQ(BuildSigned(s, {}, &out), kExitUsage);
  EXPECT_NE(out.find("give --sequence"), std::string::npos) << out;
  ASSERT_EQ(BuildSigned(s, {"--valid-days", "10", "--sequence", "5"}, &out), kExitClean) << out;
  id = IdentityOf(s);
  EXPECT_EQ(DayNumber(id.expiresYear, id.expiresMonth, id.expiresDay), Today() + 10);
  EXPECT_EQ(id.sequence, 5u);
  // A date in the past is allowed, with a warning (for tests of the installer's refusal).
  ASSERT_EQ(BuildSigned(s, {"--expires", "2020-01-31"}, &out), kExitClean) << out;
  EXPECT_NE(out.find("warning: the set expires on 2020-01-31, before today"), std::string::npos) << out;
  EXPECT_EQ(IdentityOf(s).sequence, 6u);
}

TEST(Signing, BuildRefusesBadIdentityOptions) {
  struct Case {
    std::vector<std::string> args;
    const char* says;
  };
  testing::ScratchDir dir;
  testing::WriteManifestFiles(dir);
  testing::WriteBytes(dir / "m.qset", testing::ValidManifest());
  const std::string m = dir / "m.qset", out = dir / "set", k = dir / "k";
  const Case cases[] = {
      {{"--sign", k, "--expires", "2027-02-29"}, "--expires takes a date"},
      {{"--sign", k, "--expires", "27-02-28"}, "--expires takes a date"},
      {{"--sign", k, "--expires", "2027-02-28", "--valid-days", "3"}, "not both"},
      {{"--sign", k, "--valid-days", "-1"}, "--valid-days takes"},
      {{"--sign", k, "--valid-days", "100000"}, "--valid-days takes"},
      {{"--sign", k, "--sequence", "-1"}, "--sequence takes"},
      {{"--sign", k, "--sequence", "18446744073709551616"}, "--sequence takes"},
      {{"--sign", k, "--sequence", "1e3"}, "--sequence takes"},
      {{"--expires", "2027-02-28"}, "need --sign"},
      {{"--sequence", "4"}, "need --sign"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.says);
    std::vector<std::string> args{"build", "-q"};
    args.insert(args.end(), c.args.begin(), c.args.end());
    args.push_back(m);
    args.push_back(out);
    std::ostringstream o, e;
    EXPECT_EQ(RunQuarnset(args, o, e), kExitUsage);
    EXPECT_NE(e.str().find(c.says), std::string::npos) << e.str();
    EXPECT_FALSE(std::filesystem::exists(out)) << "nothing written";
  }
}

// Sign.ini's [Identity] line for key changed and signed again: the maker's signature over another identity.
void Resign(const SignedSet& s, const std::string& key, const std::string& value) {
  std::string text = testing::ReadBytes(s.Path("Disc_01/Sign.ini"));
  std::string signedPart = text.substr(0, text.find("[Signature]"));
  const size_t at = signedPart.find("\r\n" + key + "=");
  ASSERT_NE(at, std::string::npos);
  const size_t end = signedPart.find("\r\n", at + 2);
  signedPart.replace(at + 2, end - at - 2, key + "=" + value);
  unsigned char sig[kSignatureSize];
  std::string error;
  ASSERT_TRUE(SignWithKeyFile(s.dir / "k", signedPart, sig, &error)) << error;
  testing::WriteBytes(s.Path("Disc_01/Sign.ini"), signedPart + SignatureSectionText(sig));
}

TEST(Signing, CheckReportsTheIdentity) {
  struct Case {
    const char* name;
    std::function<void(const SignedSet&)> alter;
    const char* severity;  // ": error: " or ": warning: "
    const char* fragment;
  };
  const Case cases[] = {
      {"expired", [](const SignedSet& s) { std::string o; BuildSigned(s, {"--expires", "2020-01-31"}, &o); }, ": error: ",
       "[Identity] expired on 2020-01-31"},
      {"expires within 30 days", [](const SignedSet& s) { std::string o; BuildSigned(s, {"--valid-days", "29"}, &o); },
       ": warning: ", "in 29 day(s)"},
      {"another product", [](const SignedSet& s) { Resign(s, "CadSystem", "OtherCAD"); }, ": error: ",
       "[Identity] CadSystem is \"OtherCAD\", "},
      {"another product (what Install.ini says)", [](const SignedSet& s) { Resign(s, "CadSystem", "OtherCAD"); }, ": error: ",
       "KelvaranDemo/Disc_01/Install.ini [System] says \"QuarnCAD\""},
      {"another version", [](const SignedSet& s) { Resign(s, "Version", "9.10"); }, ": error: ",
       "[Identity] Version is \"9.10\""},
      {"another folder", [](const SignedSet& s) { Resign(s, "Folder", "OtherDemo"); }, ": error: ",
       "[Identity] Folder is \"OtherDemo\", the set is served from \"KelvaranDemo\""},
      {"a sequence too big", [](const SignedSet& s) { Resign(s, "Sequence", "99999999999999999999999"); }, ": error: ",
       "Sequence '99999999999999999999999' is not a whole number"},
      {"no identity (an older quarnset)", [](const SignedSet& s) {
         std::string text = testing::ReadBytes(s.Path("Disc_01/Sign.ini"));
         std::string signedPart = text.substr(0, text.find("[Identity]"));
         unsigned char sig[kSignatureSize];
         std::string error;
         ASSERT_TRUE(SignWithKeyFile(s.dir / "k", signedPart, sig, &error)) << error;
         testing::WriteBytes(s.Path("Disc_01/Sign.ini"), signedPart + SignatureSectionText(sig));
       }, ": error: ", "has no [Identity] section"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SignedSet s;
    c.alter(s);
    std::string out;
    const int rc = s.Check({"--key", s.dir / "k.pub"}, &out);
    EXPECT_EQ(rc, std::string(c.severity) == ": error: " ? kExitFindings : kExitClean) << out;
    bool found = false;
    std::istringstream lines(out);
    for (std::string line; std::getline(lines, line);)
      found |= line.find("Disc_01/Sign.ini") != std::string::npos && line.find(c.severity) != std::string::npos &&
               line.find(c.fragment) != std::string::npos;
    EXPECT_TRUE(found) << "expected" << c.severity << c.fragment << ":\n" << out;
    // Without a key nothing of the identity is looked at.
    EXPECT_EQ(s.Check({}, &out), kExitClean) << out;
  }
}

}  // namespace
}  // namespace quarnset
