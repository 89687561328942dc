// quarnset's cryptography in a Windows build (no libcrypto there): hashing and signature checks with the
// platform's CNG, through the installer's own module; making keys and signing need the OpenSSL build.
#include <cstring>
#include <fstream>
#include <sstream>

#include "crypto.h"
#include "web/set_crypto_win.h"

namespace quarnset {

bool HaveCrypto() { return true; }

struct Sha256::State {
  Sha256Hasher hasher;
};
Sha256::Sha256() : state_(new State) {}
Sha256::~Sha256() = default;
void Sha256::Update(const void* data, size_t n) { state_->hasher.Update(data, n); }
void Sha256::Finish(unsigned char digest[kSha256Size]) {
  if (!state_->hasher.Finish(digest)) memset(digest, 0, kSha256Size);
}
void Sha256Of(const std::string& bytes, unsigned char digest[kSha256Size]) {
  Sha256 h;
  h.Update(bytes.data(), bytes.size());
  h.Finish(digest);
}

bool GenerateKeyFiles(const std::string&, std::string* error) {
  *error = "keys are made by the OpenSSL build of quarnset (Linux), not by this Windows build";
  return false;
}

bool SignWithKeyFile(const std::string&, const std::string&, unsigned char*, std::string* error) {
  *error = "sets are signed by the OpenSSL build of quarnset (Linux), not by this Windows build";
  return false;
}

bool VerifyWithPublicKeyFile(const std::string& pubFile, const std::string& data, const unsigned char* signature,
                             bool* good, std::string* error) {
  std::ifstream in(pubFile, std::ios::binary);
  if (!in) {
    *error = "cannot open " + pubFile;
    return false;
  }
  std::ostringstream text;
  text << in.rdbuf();
  const SignatureVerdict verdict = VerifySetSignature(text.str().c_str(), data.data(), data.size(), signature);
  if (verdict == SignatureVerdict::kKeyUnusable) {
    *error = pubFile + " is not an ECDSA P-256 key (quarnset keygen writes one)";
    return false;
  }
  *good = verdict == SignatureVerdict::kGood;
  return true;
}

}  // namespace quarnset
