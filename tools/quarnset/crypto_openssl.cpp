// quarnset's cryptography with OpenSSL's libcrypto (EVP interfaces).
#include <openssl/bn.h>
#include <openssl/ec.h>
#include <openssl/ecdsa.h>
#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/pem.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>

#include "crypto.h"

namespace quarnset {
namespace {

struct PkeyFree {
  void operator()(EVP_PKEY* p) const { EVP_PKEY_free(p); }
};
struct MdCtxFree {
  void operator()(EVP_MD_CTX* p) const { EVP_MD_CTX_free(p); }
};
struct SigFree {
  void operator()(ECDSA_SIG* p) const { ECDSA_SIG_free(p); }
};
struct FileClose {
  void operator()(FILE* f) const { fclose(f); }
};
using Pkey = std::unique_ptr<EVP_PKEY, PkeyFree>;
using MdCtx = std::unique_ptr<EVP_MD_CTX, MdCtxFree>;
using Sig = std::unique_ptr<ECDSA_SIG, SigFree>;
using File = std::unique_ptr<FILE, FileClose>;

std::string OpenSslError() {
  unsigned long e = ERR_get_error();
  if (e == 0) return "unknown OpenSSL error";
  char text[256];
  ERR_error_string_n(e, text, sizeof text);
  ERR_clear_error();
  return text;
}

// Only P-256 keys: the installer verifies nothing else.
bool IsP256(EVP_PKEY* key) {
  if (!EVP_PKEY_is_a(key, "EC")) return false;
  char group[64] = "";
  size_t len = 0;
  if (!EVP_PKEY_get_group_name(key, group, sizeof group, &len)) return false;
  return strcmp(group, "prime256v1") == 0 || strcmp(group, "P-256") == 0;
}

Pkey ReadKey(const std::string& path, bool isPrivate, std::string* error) {
  File f(fopen(path.c_str(), "rb"));
  if (!f) {
    *error = "cannot open " + path + ": " + strerror(errno);
    return nullptr;
  }
  Pkey key(isPrivate ? PEM_read_PrivateKey(f.get(), nullptr, nullptr, nullptr)
                     : PEM_read_PUBKEY(f.get(), nullptr, nullptr, nullptr));
  if (!key) {
    *error = path + " holds no " + (isPrivate ? "private" : "public") + " key in PEM form (" + OpenSslError() + ")";
    return nullptr;
  }
  if (!IsP256(key.get())) {
    *error = path + " is not an ECDSA P-256 key (quarnset keygen writes one)";
    return nullptr;
  }
  return key;
}

}  // namespace

bool HaveCrypto() { return true; }

struct Sha256::State {
  MdCtx ctx{EVP_MD_CTX_new()};
};

Sha256::Sha256() : state_(new State) { EVP_DigestInit_ex(state_->ctx.get(), EVP_sha256(), nullptr); }
Sha256::~Sha256() = default;

void Sha256::Update(const void* data, size_t n) { EVP_DigestUpdate(state_->ctx.get(), data, n); }

void Sha256::Finish(unsigned char digest[kSha256Size]) {
  unsigned int len = 0;
  EVP_DigestFinal_ex(state_->ctx.get(), digest, &len);
}

void Sha256Of(const std::string& bytes, unsigned char digest[kSha256Size]) {
  Sha256 h;
  h.Update(bytes.data(), bytes.size());
  h.Finish(digest);
}

bool GenerateKeyFiles(const std::string& keyFile, std::string* error) {
  Pkey key(EVP_PKEY_Q_keygen(nullptr, nullptr, "EC", "P-256"));
  if (!key) {
    *error = "cannot make a key: " + OpenSslError();
    return false;
  }
  // The private key is created for its owner only, and never over an existing file (a maker's key
  // lost by a typo cannot be had back).
  int fd = open(keyFile.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0600);
  if (fd < 0) {
    *error = "cannot create " + keyFile + ": " + strerror(errno) + (errno == EEXIST ? " (keygen never replaces a key)" : "");
    return false;
  }
  File priv(fdopen(fd, "wb"));
  if (!priv || !PEM_write_PrivateKey(priv.get(), key.get(), nullptr, nullptr, 0, nullptr, nullptr) ||
      fflush(priv.get()) != 0) {
    *error = "cannot write " + keyFile;
    priv.reset();
    unlink(keyFile.c_str());
    return false;
  }
  priv.reset();
  const std::string pubFile = keyFile + ".pub";
  File pub(fopen(pubFile.c_str(), "wb"));
  if (!pub || !PEM_write_PUBKEY(pub.get(), key.get()) || fflush(pub.get()) != 0) {
    *error = "cannot write " + pubFile;
    return false;
  }
  return true;
}

bool SignWithKeyFile(const std::string& keyFile, const std::string& data, unsigned char signature[kSignatureSize],
                     std::string* error) {
  Pkey key = ReadKey(keyFile, true, error);
  if (!key) return false;
  MdCtx ctx(EVP_MD_CTX_new());
  size_t derLength = 0;
  if (!ctx || EVP_DigestSignInit(ctx.get(), nullptr, EVP_sha256(), nullptr, key.get()) != 1 ||
      EVP_DigestSign(ctx.get(), nullptr, &derLength, reinterpret_cast<const unsigned char*>(data.data()), data.size()) != 1) {
    *error = "cannot sign: " + OpenSslError();
    return false;
  }
  std::string der(derLength, '\0');
  unsigned char* out = reinterpret_cast<unsigned char*>(&der[0]);
  if (EVP_DigestSign(ctx.get(), out, &derLength, reinterpret_cast<const unsigned char*>(data.data()), data.size()) != 1) {
    *error = "cannot sign: " + OpenSslError();
    return false;
  }
  // OpenSSL gives DER (SEQUENCE of two INTEGERs); the set carries r and s as 32 bytes each.
  const unsigned char* p = out;
  Sig sig(d2i_ECDSA_SIG(nullptr, &p, static_cast<long>(derLength)));
  const BIGNUM* r = nullptr;
  const BIGNUM* s = nullptr;
  if (sig) ECDSA_SIG_get0(sig.get(), &r, &s);
  if (!sig || BN_bn2binpad(r, signature, 32) != 32 || BN_bn2binpad(s, signature + 32, 32) != 32) {
    *error = "cannot convert the signature: " + OpenSslError();
    return false;
  }
  return true;
}

bool VerifyWithPublicKeyFile(const std::string& pubFile, const std::string& data,
                             const unsigned char signature[kSignatureSize], bool* good, std::string* error) {
  Pkey key = ReadKey(pubFile, false, error);
  if (!key) return false;
  *good = false;
  Sig sig(ECDSA_SIG_new());
  BIGNUM* r = BN_bin2bn(signature, 32, nullptr);
  BIGNUM* s = BN_bin2bn(signature + 32, 32, nullptr);
  if (!sig || !r || !s || ECDSA_SIG_set0(sig.get(), r, s) != 1) {
    BN_free(r);
    BN_free(s);
    *error = "out of memory";
    return false;
  }
  unsigned char* der = nullptr;
  int derLength = i2d_ECDSA_SIG(sig.get(), &der);
  if (derLength <= 0) {
    *error = "cannot encode the signature";
    return false;
  }
  MdCtx ctx(EVP_MD_CTX_new());
  int rc = ctx ? EVP_DigestVerifyInit(ctx.get(), nullptr, EVP_sha256(), nullptr, key.get()) : 0;
  if (rc == 1) {
    rc = EVP_DigestVerify(ctx.get(), der, static_cast<size_t>(derLength),
                          reinterpret_cast<const unsigned char*>(data.data()), data.size());
  }
  OPENSSL_free(der);
  ERR_clear_error();
  *good = rc == 1;
  return true;
}

}  // namespace quarnset
