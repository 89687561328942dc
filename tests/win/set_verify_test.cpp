// One run's checks of a set (SetVerifier) with the platform's cryptography: with a key, Sign.ini signed by
// the known vectors' key (as the key or as the next key) accepted, refused for another key, a changed byte,
// a malformed, stripped or missing signature; without a key the signature ignored and a page served for
// Sign.ini taken as none; descriptions and files compared with their hashes; an old set passes unchecked
// without a key.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "tests/vectors/set_crypto_vectors.h"
#include "web/set_crypto_win.h"
#include "layout/set_hashes.h"
#include "web/set_verify_win.h"

namespace {

using namespace set_crypto_vectors;

bool Sha256Of(const std::string& bytes, unsigned char* digest) {
  Sha256Hasher h;
  return h.Update(bytes.data(), bytes.size()) && h.Finish(digest);
}

// The known vector signed exactly the hashed part of a Sign.ini.
const SignatureVector& SignIniVector() { return kSignatures[2]; }

std::string SignedSignIni() {
  return std::string(SignIniVector().message) + "[Signature]\r\nECDSA-P256-SHA256=" + SignIniVector().signature + "\r\n";
}

struct TrustCase {
  const char* name;
  const char* key;
  const char* nextKey;
  bool found;
  std::string text;
  SetTrust result;
};

// Every row over HTTPS and over HTTP: the way the set came never changes the outcome.
TEST(SetVerify, SignFileDecisions) {
  std::string signedText = SignedSignIni();
  std::string changed = signedText;
  changed[20] = changed[20] == '1' ? '2' : '1';  // a digit of Install.ini's size
  std::string unsignedText = SignIniVector().message;
  std::string malformed = unsignedText + "[Signature]\r\nECDSA-P256-SHA256=00\r\n";
  const std::string junk = "<html><body>Not here</body></html>\r\n";
  const std::string badHashes = "[Hashes]\r\nInstall.ini=12 xyz\r\n";
  const TrustCase cases[] = {
      {"signed, right key", kPublicKey, "", true, signedText, SetTrust::kSigned},
      {"signed, another key", kOtherPublicKey, "", true, signedText, SetTrust::kRefused},
      {"signed by the next key", kOtherPublicKey, kPublicKey, true, signedText, SetTrust::kSigned},
      {"signed by the key, a next key beside it", kPublicKey, kOtherPublicKey, true, signedText, SetTrust::kSigned},
      {"signed by neither key", kOtherPublicKey, kOtherPublicKey, true, signedText, SetTrust::kRefused},
      {"hashes changed after signing", kPublicKey, "", true, changed, SetTrust::kRefused},
      {"malformed signature", kPublicKey, "", true, malformed, SetTrust::kRefused},
      {"stripped signature, key", kPublicKey, "", true, unsignedText, SetTrust::kRefused},
      {"no Sign.ini, key", kPublicKey, "", false, "", SetTrust::kRefused},
      {"a page for Sign.ini, key", kPublicKey, "", true, junk, SetTrust::kRefused},
      {"signed, no key", "", "", true, signedText, SetTrust::kUnsigned},
      {"unsigned, no key", "", "", true, unsignedText, SetTrust::kUnsigned},
      {"no Sign.ini, no key", "", "", false, "", SetTrust::kUnsigned},
      {"a page for Sign.ini, no key", "", "", true, junk, SetTrust::kUnsigned},
      {"unreadable hashes, no key", "", "", true, badHashes, SetTrust::kRefused},
  };
  for (const TrustCase& c : cases) {
    for (bool https : {true, false}) {
      SCOPED_TRACE(std::string(c.name) + (https ? " over HTTPS" : " over HTTP"));
      SetVerifier v;
      v.Reset(SetPolicy{c.key, c.nextKey, 0});
      EXPECT_EQ(v.AcceptSignFile(c.found, c.text.data(), c.text.size(), https), c.result);
      EXPECT_STRNE(v.TrustReason(), "");
    }
  }
}

// The mirror list a run follows: only from the signed part of a Sign.ini the run accepted.
TEST(SetVerify, MirrorsOnlyFromAnAcceptedSignIni) {
  const std::string list = "[Mirrors]\r\n1=http://127.0.0.2:8080/UpDate-V9.20\r\n";
  const std::string signedText = SignedSignIni();
  const std::string message = SignIniVector().message;
  const struct {
    const char* name;
    const char* key;
    std::string text;
    SetTrust trust;
    size_t mirrors;
    MirrorData data;
  } cases[] = {
      {"key: a list after the signature is not read", kPublicKey, signedText + list, SetTrust::kSigned, 0,
       MirrorData::kAbsent},
      {"key: a list put into the signed part breaks the signature", kPublicKey,
       message + list + signedText.substr(message.size()), SetTrust::kRefused, 0, MirrorData::kPresent},
      {"no key: an unsigned list is followed", "", message + list, SetTrust::kUnsigned, 1, MirrorData::kPresent},
      {"no key: a page without hashes holding a list", "", "<html>\r\n" + list, SetTrust::kUnsigned, 0,
       MirrorData::kPresent},
      {"no key: a malformed list", "", message + "[Mirrors]\r\n1=ftp://x/y\r\n", SetTrust::kUnsigned, 0,
       MirrorData::kMalformed},
      {"no key: no list", "", message, SetTrust::kUnsigned, 0, MirrorData::kAbsent},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    SetVerifier v;
    v.Reset(SetPolicy{c.key, "", 0});
    EXPECT_EQ(v.AcceptSignFile(true, c.text.data(), c.text.size(), true), c.trust);
    EXPECT_EQ(v.Mirrors().size(), c.mirrors);
    EXPECT_EQ(v.MirrorListData(), c.data);
    EXPECT_EQ(v.MirrorProblem().empty(), c.data != MirrorData::kMalformed);
    v.Reset(SetPolicy{c.key, "", 0});
    EXPECT_TRUE(v.Mirrors().empty()) << "a new run forgets the list";
  }
}

// A page served for a missing Sign.ini checks nothing: the description is taken as it comes.
TEST(SetVerify, PageForSignFileCountsAsAbsent) {
  const std::string junk = "<html>404</html>\r\n";
  SetVerifier v;
  v.Reset(SetPolicy{"", "", 0});
  ASSERT_EQ(v.AcceptSignFile(true, junk.data(), junk.size(), false), SetTrust::kUnsigned);
  EXPECT_EQ(v.CheckDescription("Install.ini", "x", 1), SetVerifier::Description::kUnchecked);
  EXPECT_FALSE(v.Names("Fajls_1.ini"));
  const HashEntry* entry = nullptr;
  EXPECT_EQ(v.ExpectDescription(&entry), SetVerifier::Expect::kUnchecked);
}

// The identity of a signed set is checked only with a key; the known vector's set has none, so a keyed
// check refuses it as missing, and an unkeyed one checks nothing.
TEST(SetVerify, IdentityCheckedOnlyWithAKey) {
  std::string signedText = SignedSignIni();
  const std::string install = "[System]\r\nCadSystem=QuarnCAD\r\nVersion=9.20\r\n";
  std::string detail;
  SetVerifier keyed;
  keyed.Reset(SetPolicy{kPublicKey, "", 0});
  ASSERT_EQ(keyed.AcceptSignFile(true, signedText.data(), signedText.size(), true), SetTrust::kSigned);
  EXPECT_EQ(keyed.CheckIdentity(install.data(), install.size(), "KelvaranDemo", 2026, 1, 1, &detail),
            IdentityVerdict::kMissing);
  EXPECT_NE(detail.find("no [Identity]"), std::string::npos) << detail;
  SetVerifier unkeyed;
  unkeyed.Reset(SetPolicy{"", "", 5});
  ASSERT_EQ(unkeyed.AcceptSignFile(true, signedText.data(), signedText.size(), true), SetTrust::kUnsigned);
  EXPECT_EQ(unkeyed.CheckIdentity(install.data(), install.size(), "KelvaranDemo", 2026, 1, 1, &detail),
            IdentityVerdict::kGood);
}

TEST(SetVerify, DescriptionsAndFilesAgainstTheirHashes) {
  // Sign.ini naming one list whose bytes are "list", without a signature (hashes only).
  const std::string list = "[Disc]\r\nName=x\r\n[Hashes]\r\nabc.txt=3 "
                           "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad\r\n";
  // The list's digest from the platform too (Sha256Hasher is held to the known vectors on its own).
  unsigned char listDigest[kSha256Size];
  ASSERT_TRUE(Sha256Of(list, listDigest));
  std::string sign = "[Hashes]\r\nFajls_1.ini=" + std::to_string(list.size()) + " ";
  sign += HexText(listDigest, kSha256Size) + "\r\n";
  SetVerifier v;
  v.Reset(SetPolicy{"", "", 0});  // no key: the hashes alone
  ASSERT_EQ(v.AcceptSignFile(true, sign.data(), sign.size(), true), SetTrust::kUnsigned);
  EXPECT_TRUE(v.Names("Fajls_1.ini"));
  EXPECT_FALSE(v.Names("Fajls_2.ini"));
  EXPECT_EQ(v.CheckDescription("Fajls_1.ini", list.data(), list.size()), SetVerifier::Description::kGood);
  std::string changed = list;
  changed[10] = 'y';
  EXPECT_EQ(v.CheckDescription("Fajls_1.ini", changed.data(), changed.size()), SetVerifier::Description::kDamaged);
  EXPECT_EQ(v.CheckDescription("Fajls_2.ini", list.data(), list.size()), SetVerifier::Description::kNotInSet);
  const HashEntry* entry = nullptr;
  EXPECT_EQ(v.ExpectDescription(&entry), SetVerifier::Expect::kMissing);  // no Install.ini line

  ASSERT_TRUE(v.UseListHashes(list.data(), list.size()));
  EXPECT_EQ(v.ExpectFile("abc.txt", &entry), SetVerifier::Expect::kEntry);
  ASSERT_NE(entry, nullptr);
  EXPECT_EQ(entry->size, 3u);
  EXPECT_EQ(v.ExpectFile("other.txt", &entry), SetVerifier::Expect::kMissing);
  std::string bad = "[Hashes]\r\nabc.txt=3 xyz\r\n";
  EXPECT_FALSE(v.UseListHashes(bad.data(), bad.size()));
}

TEST(SetVerify, OldSetPassesUncheckedWithoutAKey) {
  SetVerifier v;
  v.Reset(SetPolicy{"", "", 0});
  ASSERT_EQ(v.AcceptSignFile(false, nullptr, 0, false), SetTrust::kUnsigned);
  EXPECT_EQ(v.CheckDescription("Install.ini", "x", 1), SetVerifier::Description::kUnchecked);
  EXPECT_FALSE(v.Names("Fajls_1.ini"));
  const std::string oldList = "[Disc]\r\nName=x\r\n[Setup]\r\nFile1=\\a.txt \\Q\\a.txt\r\n";
  ASSERT_TRUE(v.UseListHashes(oldList.data(), oldList.size()));
  const HashEntry* entry = nullptr;
  EXPECT_EQ(v.ExpectFile("a.txt", &entry), SetVerifier::Expect::kUnchecked);
  EXPECT_EQ(v.ExpectDescription(&entry), SetVerifier::Expect::kUnchecked);
}

}  // namespace

