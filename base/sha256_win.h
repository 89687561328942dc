// SHA-256 with the platform's CNG (bcrypt.dll): the one hash object of the program, used by the
// download (a set file's bytes as they are written, the set's hash data and signature) and by the
// installation (every installed file for the uninstall list, the launch's and the uninstaller's checks).
// Nothing here is hand-written cryptography: the program only feeds bytes in.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

#include "base/sizes.h"

// A running SHA-256. Streams any number of chunks; Finish ends it. The algorithm is opened once per
// process and shared; each hasher is one hash object of it. A hasher the platform failed (no provider,
// no hash object, a failed update) fails every later call, so that a file is never taken as verified
// without a hash. Not copyable.
class Sha256Hasher {
 public:
  Sha256Hasher();
  ~Sha256Hasher();
  Sha256Hasher(const Sha256Hasher&) = delete;
  Sha256Hasher& operator=(const Sha256Hasher&) = delete;

  bool valid() const { return hash_ != nullptr; }
  // false when the platform failed now or before; bytes() counts only what was hashed.
  bool Update(const void* data, size_t n);
  // The digest, once: the hash object is gone afterwards and a second Finish is refused.
  bool Finish(unsigned char digest[kSha256Size]);
  // The same as 64 lower-case hex digits.
  bool FinishHex(std::string* hex);
  uint64_t bytes() const { return bytes_; }

 private:
  void* hash_ = nullptr;  // BCRYPT_HASH_HANDLE; null once failed or finished
  uint64_t bytes_ = 0;
};
