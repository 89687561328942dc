// The set's ECDSA P-256 signatures checked with the platform's cryptography under Wine, against the same
// known vectors the native (OpenSSL) side passes.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>

#include "tests/vectors/set_crypto_vectors.h"
#include "web/set_crypto_win.h"
#include "layout/set_hashes.h"

namespace {

using namespace set_crypto_vectors;

bool Signature(const char* hex, unsigned char out[kSignatureSize]) {
  return ParseHex(hex, strlen(hex), out, kSignatureSize);
}

TEST(SetCrypto, SignaturesMadeByOpenSslVerify) {
  for (const SignatureVector& v : kSignatures) {
    SCOPED_TRACE(v.name);
    unsigned char sig[kSignatureSize];
    ASSERT_TRUE(Signature(v.signature, sig));
    const size_t n = strlen(v.message);
    EXPECT_EQ(VerifySetSignature(kPublicKey, v.message, n, sig), SignatureVerdict::kGood);
    // Another key, another message, one changed bit of r or of s: refused.
    EXPECT_EQ(VerifySetSignature(kOtherPublicKey, v.message, n, sig), SignatureVerdict::kBad);
    std::string other = std::string(v.message) + "x";
    EXPECT_EQ(VerifySetSignature(kPublicKey, other.data(), other.size(), sig), SignatureVerdict::kBad);
    for (int at : {0, 31, 32, 63}) {
      unsigned char changed[kSignatureSize];
      memcpy(changed, sig, sizeof changed);
      changed[at] ^= 0x01;
      EXPECT_EQ(VerifySetSignature(kPublicKey, v.message, n, changed), SignatureVerdict::kBad) << "byte " << at;
    }
  }
}

TEST(SetCrypto, UnusableKeysAreSaidSo) {
  unsigned char sig[kSignatureSize];
  ASSERT_TRUE(Signature(kSignatures[0].signature, sig));
  // An RSA key, a P-384 key, a truncated PEM, no key at all.
  std::string cut(kPublicKey, 60);
  for (const char* key : {kRsaPublicKey, kP384PublicKey, cut.c_str(), ""}) {
    EXPECT_EQ(VerifySetSignature(key, "", 0, sig), SignatureVerdict::kKeyUnusable) << key;
  }
}

}  // namespace
