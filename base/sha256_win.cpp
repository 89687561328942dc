#include "base/sha256_win.h"

#include <windows.h>
#include <bcrypt.h>

#include <cstdio>

namespace {

// STATUS_SUCCESS from ntstatus.h, which does not mix with windows.h.
bool Ok(NTSTATUS status) { return status >= 0; }

// Opened at the first use and kept for the process (CNG's algorithm handles serve every thread).
BCRYPT_ALG_HANDLE Sha256Algorithm() {
  static const BCRYPT_ALG_HANDLE algorithm = [] {
    BCRYPT_ALG_HANDLE h = nullptr;
    if (!Ok(BCryptOpenAlgorithmProvider(&h, BCRYPT_SHA256_ALGORITHM, nullptr, 0))) h = nullptr;
    return h;
  }();
  return algorithm;
}

}  // namespace

Sha256Hasher::Sha256Hasher() {
  const BCRYPT_ALG_HANDLE algorithm = Sha256Algorithm();
  BCRYPT_HASH_HANDLE hash = nullptr;
  // No hash object buffer: CNG allocates it (Windows 7 and later).
  if (algorithm != nullptr && Ok(BCryptCreateHash(algorithm, &hash, nullptr, 0, nullptr, 0, 0))) hash_ = hash;
}

Sha256Hasher::~Sha256Hasher() {
  if (hash_) BCryptDestroyHash(static_cast<BCRYPT_HASH_HANDLE>(hash_));
}

bool Sha256Hasher::Update(const void* data, size_t n) {
  if (!hash_) return false;
  const unsigned char* p = static_cast<const unsigned char*>(data);
  while (n > 0) {
    ULONG take = n > 0x40000000u ? 0x40000000u : static_cast<ULONG>(n);
    if (!Ok(BCryptHashData(static_cast<BCRYPT_HASH_HANDLE>(hash_), const_cast<PUCHAR>(p), take, 0))) {
      BCryptDestroyHash(static_cast<BCRYPT_HASH_HANDLE>(hash_));
      hash_ = nullptr;
      return false;
    }
    p += take;
    n -= take;
    bytes_ += take;
  }
  return true;
}

bool Sha256Hasher::Finish(unsigned char digest[kSha256Size]) {
  if (!hash_) return false;
  bool ok = Ok(BCryptFinishHash(static_cast<BCRYPT_HASH_HANDLE>(hash_), digest, kSha256Size, 0));
  BCryptDestroyHash(static_cast<BCRYPT_HASH_HANDLE>(hash_));
  hash_ = nullptr;
  return ok;
}

bool Sha256Hasher::FinishHex(std::string* hex) {
  unsigned char digest[kSha256Size];
  if (!Finish(digest)) return false;
  char text[2 * kSha256Size + 1];
  for (int i = 0; i < kSha256Size; ++i) snprintf(text + 2 * i, 3, "%02x", digest[i]);
  *hex = text;
  return true;
}
