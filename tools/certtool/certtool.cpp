// certtool: adds a CA certificate (DER or PEM) to the ROOT store of the Wine prefix it runs in, or
// removes it again. Test prefixes trust the project's test CA this way; the host's trust store is never
// touched.
//   certtool add FILE      certtool remove FILE
#include <windows.h>
#include <wincrypt.h>

#include <cstdio>
#include <cstring>
#include <vector>

static bool ReadAll(const char* path, std::vector<BYTE>* out) {
  FILE* f = fopen(path, "rb");
  if (!f) return false;
  BYTE buf[4096];
  size_t n;
  while ((n = fread(buf, 1, sizeof buf, f)) > 0) out->insert(out->end(), buf, buf + n);
  fclose(f);
  return true;
}

int main(int argc, char** argv) {
  if (argc != 3 || (strcmp(argv[1], "add") && strcmp(argv[1], "remove"))) {
    fprintf(stderr, "usage: certtool add|remove FILE\n");
    return 2;
  }
  std::vector<BYTE> data;
  if (!ReadAll(argv[2], &data) || data.empty()) {
    fprintf(stderr, "certtool: cannot read %s\n", argv[2]);
    return 1;
  }
  std::vector<BYTE> der = data;
  if (data.size() > 10 && !memcmp(data.data(), "-----", 5)) {
    DWORD len = 0;
    if (!CryptStringToBinaryA(reinterpret_cast<const char*>(data.data()), static_cast<DWORD>(data.size()),
                              CRYPT_STRING_BASE64HEADER, nullptr, &len, nullptr, nullptr)) {
      fprintf(stderr, "certtool: not a PEM certificate\n");
      return 1;
    }
    der.resize(len);
    CryptStringToBinaryA(reinterpret_cast<const char*>(data.data()), static_cast<DWORD>(data.size()),
                         CRYPT_STRING_BASE64HEADER, der.data(), &len, nullptr, nullptr);
  }
  HCERTSTORE store = CertOpenSystemStoreA(0, "ROOT");
  if (!store) {
    fprintf(stderr, "certtool: cannot open the ROOT store (%lu)\n", GetLastError());
    return 1;
  }
  int rc = 0;
  if (!strcmp(argv[1], "add")) {
    if (!CertAddEncodedCertificateToStore(store, X509_ASN_ENCODING, der.data(), static_cast<DWORD>(der.size()),
                                          CERT_STORE_ADD_REPLACE_EXISTING, nullptr)) {
      fprintf(stderr, "certtool: add failed (%lu)\n", GetLastError());
      rc = 1;
    }
  } else {
    PCCERT_CONTEXT want = CertCreateCertificateContext(X509_ASN_ENCODING, der.data(), static_cast<DWORD>(der.size()));
    PCCERT_CONTEXT found =
        want ? CertFindCertificateInStore(store, X509_ASN_ENCODING, 0, CERT_FIND_EXISTING, want, nullptr) : nullptr;
    if (found) CertDeleteCertificateFromStore(found);  // frees found
    if (want) CertFreeCertificateContext(want);
    rc = found ? 0 : 1;
  }
  CertCloseStore(store, 0);
  return rc;
}
