#include "web/set_crypto_win.h"

#include <windows.h>
#include <bcrypt.h>
#include <wincrypt.h>

#include <cstring>
#include <vector>

namespace {

// STATUS_SUCCESS from ntstatus.h, which does not mix with windows.h.
bool Ok(NTSTATUS status) { return status >= 0; }

struct AlgorithmCloser {
  BCRYPT_ALG_HANDLE h = nullptr;
  ~AlgorithmCloser() {
    if (h) BCryptCloseAlgorithmProvider(h, 0);
  }
};
struct KeyCloser {
  BCRYPT_KEY_HANDLE h = nullptr;
  ~KeyCloser() {
    if (h) BCryptDestroyKey(h);
  }
};
struct LocalFreer {
  void* p = nullptr;
  ~LocalFreer() {
    if (p) LocalFree(p);
  }
};

// The uncompressed point (0x04, X, Y) of a P-256 SubjectPublicKeyInfo in PEM, decoded by crypt32.
bool DecodeP256Point(const char* pem, unsigned char point[65]) {
  DWORD derSize = 0;
  if (!CryptStringToBinaryA(pem, 0, CRYPT_STRING_BASE64HEADER, nullptr, &derSize, nullptr, nullptr)) return false;
  std::vector<BYTE> der(derSize);
  if (!CryptStringToBinaryA(pem, 0, CRYPT_STRING_BASE64HEADER, der.data(), &derSize, nullptr, nullptr)) return false;
  LocalFreer info;
  DWORD infoSize = 0;
  if (!CryptDecodeObjectEx(X509_ASN_ENCODING, X509_PUBLIC_KEY_INFO, der.data(), derSize, CRYPT_DECODE_ALLOC_FLAG,
                           nullptr, &info.p, &infoSize)) {
    return false;
  }
  const CERT_PUBLIC_KEY_INFO* key = static_cast<const CERT_PUBLIC_KEY_INFO*>(info.p);
  // id-ecPublicKey with the named curve prime256v1 (its OID, DER-encoded, as the parameters).
  static const BYTE kP256Parameters[] = {0x06, 0x08, 0x2A, 0x86, 0x48, 0xCE, 0x3D, 0x03, 0x01, 0x07};
  if (key->Algorithm.pszObjId == nullptr || strcmp(key->Algorithm.pszObjId, szOID_ECC_PUBLIC_KEY) != 0) return false;
  if (key->Algorithm.Parameters.cbData != sizeof kP256Parameters ||
      memcmp(key->Algorithm.Parameters.pbData, kP256Parameters, sizeof kP256Parameters) != 0) {
    return false;
  }
  if (key->PublicKey.cbData != 65 || key->PublicKey.cUnusedBits != 0 || key->PublicKey.pbData[0] != 0x04) return false;
  memcpy(point, key->PublicKey.pbData, 65);
  return true;
}

}  // namespace

SignatureVerdict VerifySetSignature(const char* publicKeyPem, const void* data, size_t n,
                                    const unsigned char signature[kSignatureSize]) {
  unsigned char point[65];
  if (publicKeyPem == nullptr || publicKeyPem[0] == '\0' || !DecodeP256Point(publicKeyPem, point)) {
    return SignatureVerdict::kKeyUnusable;
  }
  // BCRYPT_ECCPUBLIC_BLOB: the header, then X and Y (32 bytes each).
  unsigned char blob[sizeof(BCRYPT_ECCKEY_BLOB) + 64];
  BCRYPT_ECCKEY_BLOB header;
  header.dwMagic = BCRYPT_ECDSA_PUBLIC_P256_MAGIC;
  header.cbKey = 32;
  memcpy(blob, &header, sizeof header);
  memcpy(blob + sizeof header, point + 1, 64);
  AlgorithmCloser ecdsa;
  KeyCloser key;
  if (!Ok(BCryptOpenAlgorithmProvider(&ecdsa.h, BCRYPT_ECDSA_P256_ALGORITHM, nullptr, 0)) ||
      !Ok(BCryptImportKeyPair(ecdsa.h, nullptr, BCRYPT_ECCPUBLIC_BLOB, &key.h, blob, sizeof blob, 0))) {
    return SignatureVerdict::kKeyUnusable;
  }
  Sha256Hasher hasher;
  unsigned char digest[kSha256Size];
  if (!hasher.Update(data, n) || !hasher.Finish(digest)) return SignatureVerdict::kBad;
  NTSTATUS status = BCryptVerifySignature(key.h, nullptr, digest, kSha256Size, const_cast<PUCHAR>(signature),
                                          kSignatureSize, 0);
  return Ok(status) ? SignatureVerdict::kGood : SignatureVerdict::kBad;
}
