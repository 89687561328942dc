// The mirrors of one run's download (web/mirror_sources.h has the rules): the list the run accepted with
// Sign.ini and every mirror's faults so far. The DownloadRun owns one and hands it to each file transfer
// (FileToStage::mirrors); transfers running at once share it, so every method takes the pool's lock.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

#include "layout/mirror_list.h"
#include "web/mirror_sources.h"

class MirrorPool {
 public:
  MirrorPool();
  ~MirrorPool();
  MirrorPool(const MirrorPool&) = delete;
  MirrorPool& operator=(const MirrorPool&) = delete;

  // The run's list (empty: every file from the origin). Forgets the faults of an earlier list.
  void Use(const std::vector<MirrorUrl>& mirrors);
  size_t Count() const;

  // A file's sources in order (kOriginSource last): SourcesFor with the faults seen so far.
  std::vector<int> SourcesFor(const char* fileName, bool hashed) const;
  bool LeftOut(int mirror) const;
  // The mirror's server directory ("" for another index).
  std::string Url(int mirror) const;
  // Counts a fault of the mirror; true exactly when it leaves the mirror out (the caller logs it).
  bool ReportFault(int mirror);

 private:
  mutable CRITICAL_SECTION lock_;
  std::vector<MirrorUrl> mirrors_;
  MirrorHealth health_;
};
