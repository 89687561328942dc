// The files of one disc handed out to the transfers that run at once: in the list's order, each file
// once, and none after the first file that did not stage or after Cancel. Portable (no Win32): the disc
// loop (web/set_download_win.cpp) runs the transfers on its own threads and asks this object what to
// start next; every call may come from any of them.
#pragma once
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <vector>

#include "web/parallel_limit.h"

// The most files in flight at once for a set with hash data (a build setting, QUARN_PARALLEL_TRANSFERS).
constexpr int kParallelTransfers = QUARN_PARALLEL_TRANSFERS_VALUE;
static_assert(kParallelTransfers >= 1 && kParallelTransfers <= 16, "QUARN_PARALLEL_TRANSFERS is 1 to 16");

// How many transfers fetch a disc's `files` at once. Only a list with hash data may be fetched out of
// order: every file it names is checked against its hash whichever connection brought it. A list without
// it is fetched one file after the other, as the list names them.
int TransfersFor(size_t files, bool listHashed, int limit = kParallelTransfers);

// A file of at least this many bytes is fetched on its own: its transfer takes many round trips anyway,
// and several large files at once only share the link, the disk and the hashing between them.
constexpr uint64_t kLargeFileBytes = 4 * 512000;

// A run of a disc's files fetched together: [begin, end) of the list, `transfers` of them at once.
struct FetchBatch {
  size_t begin;
  size_t end;
  int transfers;
};

// The batches of a disc's files, in the list's order: without hash data one batch fetched one file after
// the other; with it, each run of smaller files together (TransfersFor) and each large file alone.
// sizes: each file's size from the hash data (ignored without it).
std::vector<FetchBatch> PlanBatches(const std::vector<uint64_t>& sizes, bool listHashed,
                                    int limit = kParallelTransfers, uint64_t large = kLargeFileBytes);

// How one file of the batch ended.
enum class FetchEnd { kStaged, kFailed, kDamaged };

class FetchQueue {
 public:
  explicit FetchQueue(size_t count) : count_(count) {}
  FetchQueue(const FetchQueue&) = delete;
  FetchQueue& operator=(const FetchQueue&) = delete;

  // The next file to start, in the list's order: false once every file was handed out, a file did not
  // stage, or Stop was called. A false answer is final.
  bool Take(size_t* index);
  // A file handed out by Take ended. The first that did not stage is the batch's failure: from then on
  // nothing more is handed out (the files still in flight finish as they may, and do not replace it).
  void Finish(size_t index, FetchEnd end);
  // Nothing more is handed out (Cancel).
  void Stop();

  // Once every file handed out has finished:
  bool Failed() const;
  size_t FailedIndex() const;  // the batch's failed file (Failed() only)
  FetchEnd FailedEnd() const;  // kFailed or kDamaged (Failed() only)
  size_t Started() const;      // files handed out
  size_t Staged() const;       // files that staged
  size_t MostInFlight() const; // the most files that were out at once
  bool Complete() const;       // every file handed out and staged

 private:
  mutable std::mutex lock_;
  const size_t count_;
  size_t next_ = 0;
  size_t inFlight_ = 0;
  size_t mostInFlight_ = 0;
  size_t staged_ = 0;
  bool stopped_ = false;
  bool failed_ = false;
  size_t failedIndex_ = 0;
  FetchEnd failedEnd_ = FetchEnd::kStaged;
};
