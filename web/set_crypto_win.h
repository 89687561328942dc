// The set's signature check with the platform's cryptography (CNG: bcrypt.dll; the public key decoded by
// crypt32); its SHA-256 is base/sha256_win.h's. Nothing here is hand-written cryptography: the installer
// only feeds bytes in.
#pragma once
#include <cstddef>
#include <cstdint>

#include "base/sha256_win.h"
#include "layout/set_hashes.h"

enum class SignatureVerdict {
  kGood,
  kBad,         // the signature does not hold for this key and these bytes
  kKeyUnusable  // the key text is not a P-256 public key (PEM, SubjectPublicKeyInfo), or CNG refused it
};

// Checks an ECDSA P-256 / SHA-256 signature (r then s, 32 bytes each) over data with a public key given
// as PEM text ("-----BEGIN PUBLIC KEY-----" ...).
SignatureVerdict VerifySetSignature(const char* publicKeyPem, const void* data, size_t n,
                                    const unsigned char signature[kSignatureSize]);
