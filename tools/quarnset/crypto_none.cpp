// quarnset without a cryptography library (the Windows cross build has no libcrypto): nothing can be
// hashed or signed; build and check say so instead of writing or passing a set without hashes.
#include <cstring>

#include "crypto.h"

namespace quarnset {

bool HaveCrypto() { return false; }

struct Sha256::State {};
Sha256::Sha256() : state_(new State) {}
Sha256::~Sha256() = default;
void Sha256::Update(const void*, size_t) {}
void Sha256::Finish(unsigned char digest[kSha256Size]) { memset(digest, 0, kSha256Size); }
void Sha256Of(const std::string&, unsigned char digest[kSha256Size]) { memset(digest, 0, kSha256Size); }

bool GenerateKeyFiles(const std::string&, std::string* error) {
  *error = "this build of quarnset has no cryptography library";
  return false;
}

bool SignWithKeyFile(const std::string&, const std::string&, unsigned char*, std::string* error) {
  *error = "this build of quarnset has no cryptography library";
  return false;
}

bool VerifyWithPublicKeyFile(const std::string&, const std::string&, const unsigned char*, bool*, std::string* error) {
  *error = "this build of quarnset has no cryptography library";
  return false;
}

}  // namespace quarnset
