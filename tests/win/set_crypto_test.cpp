// The platform's cryptography as the installer uses it, under Wine: SHA-256 streamed in chunks and the
// set's ECDSA P-256 signatures, against the same known vectors the native (OpenSSL) side passes.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>

#include "tests/vectors/set_crypto_vectors.h"
#include "web/set_crypto_win.h"
#include "web/set_hashes.h"

namespace {

using namespace set_crypto_vectors;

std::string Digest(Sha256Hasher& h) {
  unsigned char d[kSha256Size];
  if (!h.Finish(d)) return "(finish failed)";
  return HexText(d, kSha256Size);
}

TEST(SetCrypto, Sha256KnownVectorsInChunksOfEverySize) {
  for (const Sha256Vector& v : kSha256) {
    SCOPED_TRACE(v.name);
    std::string message;
    for (size_t i = 0; i < v.repeat; ++i) message += v.message;
    // Whole, then in odd chunk sizes: the installer hashes each chunk as it is written.
    for (size_t chunk : {message.size() + 1, size_t{1}, size_t{63}, size_t{64}, size_t{65}, size_t{512000}}) {
      if (chunk == 1 && message.size() > 100000) continue;
      Sha256Hasher h;
      ASSERT_TRUE(h.valid()) << "BCryptOpenAlgorithmProvider(SHA256) failed";
      for (size_t at = 0; at < message.size(); at += chunk) {
        ASSERT_TRUE(h.Update(message.data() + at, std::min(chunk, message.size() - at)));
      }
      EXPECT_EQ(h.bytes(), message.size());
      EXPECT_EQ(Digest(h), v.sha256) << "chunk " << chunk;
    }
  }
}

TEST(SetCrypto, FinishedHasherRefusesMore) {
  Sha256Hasher h;
  unsigned char d[kSha256Size];
  ASSERT_TRUE(h.Finish(d));
  EXPECT_FALSE(h.Update("x", 1));
  EXPECT_FALSE(h.Finish(d));
}

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
