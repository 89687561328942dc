// The checks of a set while it is downloaded: Sign.ini and its signature before the description is used,
// Install.ini and every file list against Sign.ini before anything they name is fetched, and every file's
// staged content against its list's [Hashes] (web/set_hashes.h). A set without this data (an old set)
// passes every check unchanged.
#pragma once
#include <windows.h>

#include <cstddef>
#include <vector>

#include "web/set_hashes.h"

// The build's policy: the maker's public key (PEM; empty: none) and whether an unsigned set that came over
// plain HTTP is refused. Defined once per program from the build's configuration (app/set_policy_win.cpp).
struct SetPolicy {
  const char* publicKeyPem;
  bool requireSigned;
};
extern const SetPolicy kSetPolicy;

class SetVerifier {
 public:
  // Forgets everything of an earlier run.
  void Reset(const SetPolicy& policy);

  // Sign.ini as the server gave it (found false: none). Checks its hashes, and with a key its signature.
  SetTrust AcceptSignFile(bool found, const char* text, size_t size, bool https);

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

 private:
  SetPolicy policy_{"", false};
  bool signFile_ = false;
  std::vector<HashEntry> descriptions_;  // Sign.ini's [Hashes]
  bool listHashed_ = false;
  std::vector<HashEntry> files_;  // the current list's [Hashes]
};

// Why a set or a file was refused; each has its message box (caption: the program's own).
enum class SetRefusal {
  kDamaged,        // "A letöltött ' %s ' fájl sérült, a telepítés megszakad!" (the file is named)
  kBadSignature,   // "A telepítő készlet aláírása érvénytelen, a telepítés megszakad!"
  kUnsignedOverHttp,  // "A telepítő készlet nincs aláírva, HTTP kapcsolaton nem telepíthető!"
};
void ShowSetRefusal(HWND owner, const char* caption, SetRefusal why, const char* fileName);
