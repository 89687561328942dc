// The program's SHA-256 (the platform's CNG) under Wine: streamed in chunks, in both its forms, against the
// same known vectors the native (OpenSSL) side passes.
#include "base/sha256_win.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "layout/set_hashes.h"
#include "tests/vectors/set_crypto_vectors.h"

namespace {

using namespace set_crypto_vectors;

std::string Digest(Sha256Hasher& h) {
  unsigned char d[kSha256Size];
  if (!h.Finish(d)) return "(finish failed)";
  return HexText(d, kSha256Size);
}

TEST(Sha256, Sha256KnownVectorsInChunksOfEverySize) {
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

TEST(Sha256, FinishedHasherRefusesMore) {
  Sha256Hasher h;
  unsigned char d[kSha256Size];
  ASSERT_TRUE(h.Finish(d));
  EXPECT_FALSE(h.Update("x", 1));
  EXPECT_FALSE(h.Finish(d));
}

// Two hash objects of the one algorithm the process shares, fed in turns, each give their own digest; the
// hex form is the digest's lower-case hex, given once.
TEST(Sha256, HashersSideBySideAndTheHexForm) {
  for (const Sha256Vector& v : kSha256) {
    SCOPED_TRACE(v.name);
    std::string message;
    for (size_t i = 0; i < v.repeat; ++i) message += v.message;
    Sha256Hasher a;
    Sha256Hasher b;
    ASSERT_TRUE(b.Update("other bytes", 11));
    for (size_t at = 0; at < message.size(); at += 4096) {
      const size_t n = std::min<size_t>(4096, message.size() - at);
      ASSERT_TRUE(a.Update(message.data() + at, n));
      ASSERT_TRUE(b.Update(message.data() + at, n));
    }
    std::string hex;
    ASSERT_TRUE(a.FinishHex(&hex));
    EXPECT_EQ(hex, v.sha256);
    EXPECT_NE(Digest(b), v.sha256);
    EXPECT_FALSE(a.FinishHex(&hex));
  }
}

}  // namespace
