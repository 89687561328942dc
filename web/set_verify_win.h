// The checks of a set while it is downloaded: Sign.ini and its signature before the description is used,
// Install.ini and every file list against Sign.ini before anything they name is fetched, and every file's
// staged content against its list's [Hashes] (layout/set_hashes.h). A set without this data (an old set)
// passes every check unchanged.
#pragma once
#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "layout/mirror_list.h"
#include "layout/set_hashes.h"

// The build's policy: the maker's public keys (PEM; empty: none) and the lowest set sequence accepted.
// With a key, every set must carry a good signature by the key or by the next key. The program's own is
// kSetPolicy (app/set_policy_win.h); the download receives it from the worker.
struct SetPolicy {
  const char* publicKeyPem;
  const char* nextPublicKeyPem;  // the maker's next key ("" or nullptr: none)
  uint64_t minSequence;
};
// Whether a policy holds a key (then every set must carry a good signature).
bool PolicyHasKey(const SetPolicy& policy);

class SetVerifier {
 public:
  // Forgets everything of an earlier run.
  void Reset(const SetPolicy& policy);

  // Sign.ini as the server gave it (found false: none). Checks its hashes, and with a key its signature.
  SetTrust AcceptSignFile(bool found, const char* text, size_t size, bool https);
  // What AcceptSignFile found, for the log (English).
  const char* TrustReason() const { return trustReason_; }
  // Whether this build has a key (then every set must be signed and its identity is checked).
  bool Keyed() const;

  // A signed set's identity (Sign.ini's [Identity]) against the Install.ini it verified, the folder the set
  // was fetched from, today's UTC date and the build's lowest sequence. Without a key: kGood, nothing
  // checked. *detail receives the log line; *identity (when given) the identity read.
  IdentityVerdict CheckIdentity(const char* installIni, size_t size, const char* folder, int year, int month, int day,
                                std::string* detail, SetIdentity* identity = nullptr) const;

  enum class Description {
    kUnchecked,  // no Sign.ini: nothing to compare with
    kGood,
    kDamaged,    // differs from its hash in Sign.ini
    kNotInSet,   // Sign.ini does not name it (a list past the end of the set)
  };
  // Install.ini or a file list, whole, against Sign.ini.
  Description CheckDescription(const char* name, const char* text, size_t size) const;

  // Whether Sign.ini names this description file (then the set is incomplete without it).
  bool Names(const char* name) const;

  // The [Hashes] of the file list about to be used. false: the section is malformed (a damaged list).
  bool UseListHashes(const char* text, size_t size);

  enum class Expect {
    kUnchecked,  // the list has no [Hashes]: the file is taken as it comes
    kEntry,      // *entry is what the staged content must be
    kMissing,    // the list has hashes, but none for this name: the file is refused
  };
  Expect ExpectFile(const char* name, const HashEntry** entry) const;
  // Whether the list in use has [Hashes]: every file it names is then checked.
  bool ListHashed() const { return listHashed_; }
  // Install.ini's entry in Sign.ini (its second, staged copy is checked as a file).
  Expect ExpectDescription(const HashEntry** entry) const;

  // The mirrors the run may ask for files with hash data: the [Mirrors] of the signed part of the
  // Sign.ini AcceptSignFile accepted (empty when it refused it, found none, or the list is malformed).
  const std::vector<MirrorUrl>& Mirrors() const { return mirrors_; }
  // For the log: how the list was read, and what is wrong with a malformed one.
  MirrorData MirrorListData() const { return mirrorData_; }
  const std::string& MirrorProblem() const { return mirrorProblem_; }

 private:
  SetPolicy policy_{"", "", 0};
  bool signFile_ = false;
  const char* trustReason_ = "";
  IdentityData identityData_ = IdentityData::kAbsent;
  SetIdentity identity_;
  std::vector<HashEntry> descriptions_;  // Sign.ini's [Hashes]
  bool listHashed_ = false;
  std::vector<HashEntry> files_;  // the current list's [Hashes]
  MirrorData mirrorData_ = MirrorData::kAbsent;
  std::string mirrorProblem_;
  std::vector<MirrorUrl> mirrors_;
};
