// One file of the set fetched into the staging folder: its attempts (web/transfer_retry_win.h), each
// resumed where a guarded part of it is staged (web/range_resume.h), its bytes hashed as they are written
// when the set has hash data, and the progress it shows. Everything one transfer needs is in its own
// object (FileTransfer, in the .cpp); nothing of it outlives the call.
#pragma once
#include <windows.h>

#include <cstddef>
#include <string>
#include <unordered_set>

#include "layout/set_hashes.h"
#include "ui/web_display_win.h"
#include "web/mirror_pool_win.h"

// The transfer buffer: every file streams through a buffer of this size (each transfer in flight has its
// own).
constexpr DWORD kTransferBufferSize = 512000;

// The URL of a set file in the current mode, and its staging path (fileName nullptr: the disc folder).
// false when the text does not fit into the buffer (nothing must be fetched or written then).
bool BuildServerUrl(const char* discFolder, const char* fileName, char* url, size_t urlSize);
bool BuildStagingPath(const char* discFolder, const char* fileName, char* path, size_t pathSize);

// The status field's text for a file: the server directory hidden, the set's path shown.
void FormStatus(const char* discFolder, const char* fileName, char* status, size_t statusSize);

// Counts bytes as downloaded and shows the bar and the percentage of the whole. Safe from several
// transfers at once: one total under a lock, and what is shown follows it in order.
void AdvanceProgress(WebDisplay& display, DWORD bytes);

// The names of the files a disc's staging folder holds, read once before its files are fetched: a file
// that is not there needs no look at the disk of its own (under Wine every lookup of a name that is not
// there searches the whole folder, so looking up each of 10,000 files costs seconds).
class StagedNames {
 public:
  explicit StagedNames(const char* folder);  // without its closing backslash

  // false only when the folder surely holds no file of this name. A name in a subfolder, or with
  // letters beyond ASCII (whose other case the folding here does not know), is always looked at.
  bool MayHold(const char* name) const;

 private:
  static std::string Folded(const char* name);

  bool known_ = false;
  std::unordered_set<std::string> names_;
};

// One file of the set to stage.
struct FileToStage {
  const char* discFolder = "";
  const char* fileName = "";        // as the server names it (its disc's list)
  bool countProgress = true;        // its bytes count in the progress display
  const HashEntry* expected = nullptr;       // the set's hash data for it, or none
  const StagedNames* stagedBefore = nullptr;  // what its disc's staging folder held (null: look)
  // The run's mirrors (null or empty: the origin only). Asked only for a file with `expected`.
  MirrorPool* mirrors = nullptr;
};

enum class FileResult {
  kStaged,   // the file is staged whole (fetched, or kept from an earlier run)
  kFailed,   // it did not come whole (no partial file is left under its staging name)
  kDamaged,  // it came, but differs from the set's hash data (deleted)
};

// A transient fault is retried, continuing with a guarded range request. With expected, a file an
// earlier run staged with that size and SHA-256 is kept and nothing is requested; a fetched file must
// have them (checked whole once it arrived). With expected and mirrors, the file is asked of its mirrors
// first (web/mirror_sources.h: one attempt each, any fault moves it to the next source at once, a fault
// counts against the mirror), then of the origin with the retries above. Each source starts the file
// over: a range is asked only of the source that served the first part. Only the origin's bytes can make
// the file kDamaged; a mirror's wrong bytes only move it on.
FileResult TransferSetFile(WebDisplay& display, const FileToStage& file);

// The same for one file outside a disc's loop: 0 staged, 1 failed; *damaged (when given) set when it
// failed for the set's hash data.
int DownloadFile(WebDisplay& display, const char* discFolder, const char* fileName, int countProgress,
                 const HashEntry* expected = nullptr, bool* damaged = nullptr);

// What became of a small text file of the set (Sign.ini, a disc's list).
enum class ListFetch {
  kArrived,  // the whole text is in memory
  kAbsent,   // the server says there is none: the set ends before this disc
  kFailed,   // it did not come (the network or the server failed on every attempt, or no memory)
};

struct WholeFile;
// Fetches a small text file of the set whole into memory, with the retries every file of the set gets.
// Only the server's own word makes it absent: a status it means (404, 410, 403 ...) or an answer it
// would give again (no length, redirections that lead nowhere). A fault that may pass (no connection, a
// reset, a cut or stalled body, 408/429/5xx) is tried again, and when every attempt failed the file did
// not come: ending the set there would install the discs before it and report success without the rest.
// A text that arrived whole is used even when closing its request failed.
ListFetch FetchSetText(WebDisplay& display, const char* discFolder, const char* name, WholeFile* text);
