#include "web/set_verify_win.h"

#include <cstdio>
#include <cstring>

#include "base/install_log_win.h"
#include "base/message_box_win.h"
#include "web/set_crypto_win.h"

namespace {

// "A letöltött ' %s ' fájl sérült, a telepítés megszakad!" (the downloaded file %s is damaged, the
// installation stops)
const char kDamagedText[] = "A let\xf6lt\xf6tt ' %s ' f\xe1jl s\xe9r\xfclt, a telep\xedt\xe9s megszakad!";
// "A telepítő készlet aláírása érvénytelen, a telepítés megszakad!" (the set's signature is not valid)
const char kBadSignatureText[] =
    "A telep\xedt\xf5 k\xe9szlet al\xe1\xedr\xe1sa \xe9rv\xe9nytelen, a telep\xedt\xe9s megszakad!";
// "A telepítő készlet nincs aláírva, HTTP kapcsolaton nem telepíthető!" (the set is not signed; it cannot
// be installed over HTTP)
const char kUnsignedText[] =
    "A telep\xedt\xf5 k\xe9szlet nincs al\xe1\xedrva, HTTP kapcsolaton nem telep\xedthet\xf5!";

bool Matches(const HashEntry& e, const char* text, size_t size) {
  Sha256Hasher h;
  unsigned char digest[kSha256Size];
  if (!h.Update(text, size) || !h.Finish(digest)) return false;
  return e.size == size && memcmp(e.sha256, digest, kSha256Size) == 0;
}

}  // namespace

void SetVerifier::Reset(const SetPolicy& policy) {
  policy_ = policy;
  signFile_ = false;
  descriptions_.clear();
  listHashed_ = false;
  files_.clear();
}

SetTrust SetVerifier::AcceptSignFile(bool found, const char* text, size_t size, bool https) {
  TrustInputs in;
  in.signFileFound = found;
  in.haveKey = policy_.publicKeyPem != nullptr && policy_.publicKeyPem[0] != '\0';
  in.requireSigned = policy_.requireSigned;
  in.https = https;
  if (found) {
    size_t signedSize = 0;
    unsigned char signature[kSignatureSize];
    in.signature = ReadSignature(text, size, &signedSize, signature);
    in.hashes = ReadHashSection(text, signedSize, &descriptions_);
    if (in.haveKey && in.signature == SignatureData::kPresent) {
      in.check = VerifySetSignature(policy_.publicKeyPem, text, signedSize, signature) == SignatureVerdict::kGood
                     ? SignatureCheck::kGood
                     : SignatureCheck::kBad;
    }
  }
  SetTrust trust = DecideSetTrust(in);
  signFile_ = found && trust != SetTrust::kRefused;
  if (!signFile_) descriptions_.clear();
  return trust;
}

SetVerifier::Description SetVerifier::CheckDescription(const char* name, const char* text, size_t size) const {
  if (!signFile_) return Description::kUnchecked;
  const HashEntry* e = FindHashEntry(descriptions_, name);
  if (e == nullptr) return Description::kNotInSet;
  return Matches(*e, text, size) ? Description::kGood : Description::kDamaged;
}

bool SetVerifier::Names(const char* name) const {
  return signFile_ && FindHashEntry(descriptions_, name) != nullptr;
}

bool SetVerifier::UseListHashes(const char* text, size_t size) {
  HashData data = ReadHashSection(text, size, &files_);
  listHashed_ = data == HashData::kPresent;
  return data != HashData::kMalformed;
}

SetVerifier::Expect SetVerifier::ExpectFile(const char* name, const HashEntry** entry) const {
  *entry = nullptr;
  if (!listHashed_) return Expect::kUnchecked;
  *entry = FindHashEntry(files_, name);
  return *entry != nullptr ? Expect::kEntry : Expect::kMissing;
}

SetVerifier::Expect SetVerifier::ExpectDescription(const HashEntry** entry) const {
  *entry = nullptr;
  if (!signFile_) return Expect::kUnchecked;
  *entry = FindHashEntry(descriptions_, "Install.ini");
  return *entry != nullptr ? Expect::kEntry : Expect::kMissing;
}

void ShowSetRefusal(HWND owner, const char* caption, SetRefusal why, const char* fileName) {
  char text[512];
  switch (why) {
    case SetRefusal::kDamaged:
      // The format is our own; the server's name is only an argument.
      snprintf(text, sizeof text, kDamagedText, fileName != nullptr ? fileName : "");
      break;
    case SetRefusal::kBadSignature:
      snprintf(text, sizeof text, "%s", kBadSignatureText);
      break;
    case SetRefusal::kUnsignedOverHttp:
      snprintf(text, sizeof text, "%s", kUnsignedText);
      break;
  }
  LogEvent("set refused: %s", why == SetRefusal::kDamaged ? "a file is damaged (size or SHA-256 differs)"
                               : why == SetRefusal::kBadSignature ? "Sign.ini or its signature does not hold"
                                                                  : "unsigned set over HTTP");
  // In a silent run no box appears; OK is its only answer.
  ShowBox(owner, text, caption, MB_ICONERROR | MB_OK, IDOK);
}
