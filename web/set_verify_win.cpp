#include "web/set_verify_win.h"

#include <cstdio>
#include <cstring>

#include "base/sizes.h"
#include "base/text.h"
#include "web/ini_lookup.h"
#include "web/mirror_sources.h"
#include "web/set_crypto_win.h"

namespace {

bool Matches(const HashEntry& e, const char* text, size_t size) {
  Sha256Hasher h;
  unsigned char digest[kSha256Size];
  if (!h.Update(text, size) || !h.Finish(digest)) return false;
  return e.size == size && memcmp(e.sha256, digest, kSha256Size) == 0;
}

bool HasKey(const char* pem) { return pem != nullptr && pem[0] != '\0'; }

}  // namespace

void SetVerifier::Reset(const SetPolicy& policy) {
  policy_ = policy;
  signFile_ = false;
  trustReason_ = "";
  identityData_ = IdentityData::kAbsent;
  identity_ = SetIdentity();
  descriptions_.clear();
  listHashed_ = false;
  files_.clear();
  mirrorData_ = MirrorData::kAbsent;
  mirrorProblem_.clear();
  mirrors_.clear();
}

bool PolicyHasKey(const SetPolicy& policy) { return HasKey(policy.publicKeyPem) || HasKey(policy.nextPublicKeyPem); }

bool SetVerifier::Keyed() const { return PolicyHasKey(policy_); }

SetTrust SetVerifier::AcceptSignFile(bool found, const char* text, size_t size, bool https) {
  TrustInputs in;
  in.signFileFound = found;
  in.haveKey = Keyed();
  in.https = https;
  identityData_ = IdentityData::kAbsent;
  identity_ = SetIdentity();
  if (found) {
    size_t signedSize = 0;
    unsigned char signature[kSignatureSize];
    in.signature = ReadSignature(text, size, &signedSize, signature);
    in.hashes = ReadHashSection(text, signedSize, &descriptions_);
    if (in.haveKey && in.signature == SignatureData::kPresent) {
      // The key first, then the maker's next key: a set signed by either is the maker's.
      in.check = SignatureCheck::kBad;
      for (const char* pem : {policy_.publicKeyPem, policy_.nextPublicKeyPem}) {
        if (HasKey(pem) && VerifySetSignature(pem, text, signedSize, signature) == SignatureVerdict::kGood) {
          in.check = SignatureCheck::kGood;
          break;
        }
      }
    }
    identityData_ = ReadSetIdentity(text, signedSize, &identity_);
  }
  SetTrust trust = DecideSetTrust(in, &trustReason_);
  // A Sign.ini without hashes (a page served for a missing file) checks nothing: as if there were none.
  signFile_ = found && in.hashes == HashData::kPresent && trust != SetTrust::kRefused;
  if (!signFile_) descriptions_.clear();
  // The mirror list only from the signed part, and only of a Sign.ini the run goes on with.
  mirrors_.clear();
  mirrorProblem_.clear();
  mirrorData_ = found ? ReadSignedMirrorList(text, size, &mirrors_, &mirrorProblem_) : MirrorData::kAbsent;
  if (!FollowMirrorList(trust, signFile_, mirrorData_)) mirrors_.clear();
  return trust;
}

IdentityVerdict SetVerifier::CheckIdentity(const char* installIni, size_t size, const char* folder, int year, int month,
                                           int day, std::string* detail, SetIdentity* identity) const {
  if (identity) *identity = identity_;
  if (!Keyed()) {
    *detail = "identity check: none (no key in this build)";
    return IdentityVerdict::kGood;
  }
  char cadSystem[kTextSize];
  char version[kTextSize];
  FindIniValue("System", "CadSystem", cadSystem, sizeof cadSystem, installIni, static_cast<int>(size));
  FindIniValue("System", "Version", version, sizeof version, installIni, static_cast<int>(size));
  IdentityExpectation expect;
  expect.folder = folder;
  expect.cadSystem = cadSystem;
  expect.version = version;
  expect.year = year;
  expect.month = month;
  expect.day = day;
  expect.minSequence = policy_.minSequence;
  return CheckSetIdentity(identityData_, identity_, expect, detail);
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
