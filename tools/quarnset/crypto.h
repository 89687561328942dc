// The cryptography quarnset needs, from a well-kept library (OpenSSL's libcrypto natively): SHA-256,
// and ECDSA P-256 keys and signatures. Signatures are exchanged in the set's raw form: r then s, 32
// bytes each, big-endian (what the Windows platform's verifier takes), not OpenSSL's DER form.
//
// Key files: KEYFILE holds the private key (PEM, PKCS#8, readable by its owner only); KEYFILE.pub the
// public key (PEM, SubjectPublicKeyInfo), which the installer is built with.
#pragma once

#include <cstddef>
#include <memory>
#include <string>

#include "layout/set_hashes.h"

namespace quarnset {

// False in a build without a cryptography library: then nothing can be hashed or signed.
bool HaveCrypto();

class Sha256 {
 public:
  Sha256();
  ~Sha256();
  Sha256(const Sha256&) = delete;
  Sha256& operator=(const Sha256&) = delete;
  void Update(const void* data, size_t n);
  // The digest of everything given; the object is used up.
  void Finish(unsigned char digest[kSha256Size]);

 private:
  struct State;
  std::unique_ptr<State> state_;
};

void Sha256Of(const std::string& bytes, unsigned char digest[kSha256Size]);

// Writes a new key pair: KEYFILE (private) and KEYFILE.pub. Refuses to replace an existing KEYFILE.
bool GenerateKeyFiles(const std::string& keyFile, std::string* error);

// Signs data with the private key in keyFile.
bool SignWithKeyFile(const std::string& keyFile, const std::string& data, unsigned char signature[kSignatureSize],
                     std::string* error);

// Checks a raw signature over data with the public key in pubFile. Returns false with *error when the key
// cannot be read (not a P-256 public key); otherwise *good says whether the signature holds.
bool VerifyWithPublicKeyFile(const std::string& pubFile, const std::string& data,
                             const unsigned char signature[kSignatureSize], bool* good, std::string* error);

}  // namespace quarnset
