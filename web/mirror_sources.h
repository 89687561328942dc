// Where each file of the set is fetched from when the set lists mirrors (layout/mirror_list.h): pure
// decisions; the mirror pool (web/mirror_pool_win.h) keeps the run's state behind a lock and the file
// transfer carries them out.
//
// - Which files a mirror may serve: only a list the run accepted with Sign.ini is followed (a keyed build
//   accepts only a Sign.ini whose signature held, and the list is read only from the signed part), and
//   only for a file whose size and SHA-256 the run has: a mirror never serves a byte that is not checked.
// - Spreading: the mirrors are ordered per file by a stable hash of the file name and the mirror's URL
//   (highest score first), the origin last. Every installer asks the same mirror first for the same file,
//   so the mirrors' caches stay warm, and a mirror left out moves only its own files to the others.
// - Failover: any fault of a mirror on a file (no connection, an error status, a cut, a stall, a hash
//   mismatch) moves the file to its next source at once; a fault of this computer (the staging disk)
//   ends the file as it does without mirrors. A mirror with kMirrorFaultLimit faults is left out for the
//   rest of the run.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "layout/mirror_list.h"
#include "layout/set_hashes.h"
#include "web/retry_policy.h"

// The origin (the compiled-in host the run connected to) among a file's sources.
constexpr int kOriginSource = -1;
// Faults after which a mirror is left out for the rest of the run.
constexpr int kMirrorFaultLimit = 2;

// Whether the run follows the mirror list of its Sign.ini: the Sign.ini was used (not refused, with
// hashes) and its list was read whole. `trust` is the run's decision on Sign.ini.
bool FollowMirrorList(SetTrust trust, bool signFileUsed, MirrorData list);

// The stable score of a mirror for a file (64-bit FNV-1a over the URL, a 0 byte and the name, then
// mixed): the same on every machine and in every build.
uint64_t MirrorScore(const std::string& mirrorUrl, const char* fileName);

// The mirrors' indices for a file, highest score first (ties: the lower index).
std::vector<int> SpreadOrder(const std::vector<MirrorUrl>& mirrors, const char* fileName);

// The faults of each mirror in one run.
class MirrorHealth {
 public:
  explicit MirrorHealth(size_t mirrors = 0) : faults_(mirrors, 0) {}
  // Counts a fault; true exactly when this fault leaves the mirror out.
  bool RecordFault(int mirror);
  bool LeftOut(int mirror) const;
  int Faults(int mirror) const;

 private:
  std::vector<int> faults_;
};

// A file's sources in order: for a file with hash data the mirrors not left out, in SpreadOrder, then
// the origin; for a file without hash data the origin only.
std::vector<int> SourcesFor(const std::vector<MirrorUrl>& mirrors, const MirrorHealth& health, const char* fileName,
                            bool hashed);

// What a failed attempt at a mirror does.
enum class MirrorFaultStep {
  kNextSource,  // the mirror's fault: counted against it, the file goes to its next source at once
  kEndFile,     // this computer's fault (the staging disk): the file fails as it would at the origin
};
MirrorFaultStep StepAfterMirrorFault(TransferFault fault);

// A short English name of a fault, for the log ("no connection", "hash mismatch" ...).
const char* TransferFaultName(TransferFault fault);
