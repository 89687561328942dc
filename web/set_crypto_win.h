// SHA-256 and the set's signature check with the platform's cryptography (CNG: bcrypt.dll; the public key
// decoded by crypt32). Nothing here is hand-written cryptography: the installer only feeds bytes in.
#pragma once
#include <cstddef>
#include <cstdint>

#include "web/set_hashes.h"

// A running SHA-256. Streams any number of chunks; Finish ends it. A hasher whose provider could not be
// opened (valid() false) fails every call, so that a file is never taken as verified without a hash.
class Sha256Hasher {
 public:
  Sha256Hasher();
  ~Sha256Hasher();
  Sha256Hasher(const Sha256Hasher&) = delete;
  Sha256Hasher& operator=(const Sha256Hasher&) = delete;

  bool valid() const { return hash_ != nullptr; }
  bool Update(const void* data, size_t n);
  bool Finish(unsigned char digest[kSha256Size]);
  uint64_t bytes() const { return bytes_; }

 private:
  void* algorithm_ = nullptr;  // BCRYPT_ALG_HANDLE
  void* hash_ = nullptr;       // BCRYPT_HASH_HANDLE
  uint64_t bytes_ = 0;
};

enum class SignatureVerdict {
  kGood,
  kBad,         // the signature does not hold for this key and these bytes
  kKeyUnusable  // the key text is not a P-256 public key (PEM, SubjectPublicKeyInfo), or CNG refused it
};

// Checks an ECDSA P-256 / SHA-256 signature (r then s, 32 bytes each) over data with a public key given
// as PEM text ("-----BEGIN PUBLIC KEY-----" ...).
SignatureVerdict VerifySetSignature(const char* publicKeyPem, const void* data, size_t n,
                                    const unsigned char signature[kSignatureSize]);
