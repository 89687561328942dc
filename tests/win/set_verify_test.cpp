// One run's checks of a set (SetVerifier) with the platform's cryptography: Sign.ini signed by the known
// vectors' key accepted, refused for another key, a changed byte or a malformed signature, ignored without
// a key; descriptions and files compared with their hashes; an old set passes unchecked.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "tests/vectors/set_crypto_vectors.h"
#include "web/set_crypto_win.h"
#include "web/set_hashes.h"
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
  bool require;
  bool found;
  std::string text;
  bool https;
  SetTrust result;
};

TEST(SetVerify, SignFileDecisions) {
  std::string signedText = SignedSignIni();
  std::string changed = signedText;
  changed[20] = changed[20] == '1' ? '2' : '1';  // a digit of Install.ini's size
  std::string unsignedText = SignIniVector().message;
  std::string malformed = unsignedText + "[Signature]\r\nECDSA-P256-SHA256=00\r\n";
  const TrustCase cases[] = {
      {"signed, right key", kPublicKey, false, true, signedText, false, SetTrust::kSigned},
      {"signed, another key", kOtherPublicKey, false, true, signedText, true, SetTrust::kRefused},
      {"hashes changed after signing", kPublicKey, false, true, changed, true, SetTrust::kRefused},
      {"malformed signature", kPublicKey, false, true, malformed, true, SetTrust::kRefused},
      {"signed, no key", "", false, true, signedText, true, SetTrust::kUnsigned},
      {"unsigned, key", kPublicKey, false, true, unsignedText, false, SetTrust::kUnsigned},
      {"unsigned over HTTP, signed sets required", kPublicKey, true, true, unsignedText, false, SetTrust::kRefused},
      {"no Sign.ini over HTTP, signed sets required", kPublicKey, true, false, "", false, SetTrust::kRefused},
      {"no Sign.ini over HTTPS, signed sets required", kPublicKey, true, false, "", true, SetTrust::kUnsigned},
      {"signed over HTTP, signed sets required", kPublicKey, true, true, signedText, false, SetTrust::kSigned},
  };
  for (const TrustCase& c : cases) {
    SCOPED_TRACE(c.name);
    SetVerifier v;
    v.Reset(SetPolicy{c.key, c.require});
    EXPECT_EQ(v.AcceptSignFile(c.found, c.text.data(), c.text.size(), c.https), c.result);
  }
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
  v.Reset(SetPolicy{kPublicKey, false});
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

TEST(SetVerify, OldSetPassesUnchecked) {
  SetVerifier v;
  v.Reset(SetPolicy{kPublicKey, false});
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

