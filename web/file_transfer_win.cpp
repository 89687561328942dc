#include "web/file_transfer_win.h"

#include <cstdint>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <utility>

#include "base/install_log_win.h"
#include "base/scoped_handle_win.h"
#include "base/scoped_lock_win.h"
#include "base/sha256_win.h"
#include "base/text.h"
#include "layout/install_layout.h"
#include "layout/server_layout.h"
#include "state/install_state_win.h"
#include "layout/progress_text.h"
#include "web/bounded_read_win.h"
#include "web/filler.h"
#include "web/mirror_sources.h"
#include "web/range_resume.h"
#include "web/remote_file_win.h"
#include "web/session_win.h"
#include "web/transfer_retry_win.h"

namespace {

// Creates the folders between the disc folder and a file in a subfolder of it ("Help\a.hlp").
bool CreateSubfolders(const char* discFolder, const char* fileName) {
  for (const char* p = strchr(fileName, '\\'); p != nullptr; p = strchr(p + 1, '\\')) {
    char sub[kTextSize];
    size_t n = static_cast<size_t>(p - fileName);
    if (n + 1 > sizeof sub) return false;
    memcpy(sub, fileName, n);
    sub[n] = '\0';
    char path[kTextSize];
    if (!BuildStagingPath(discFolder, sub, path, sizeof path)) return false;
    if (!CreateDirectoryA(path, nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) return false;
  }
  return true;
}

void ShowFileStatus(WebDisplay& display, const char* discFolder, const char* fileName) {
  char status[kTextSize];
  FormStatus(discFolder, fileName, status, sizeof status);
  display.ShowStatus(status);
}

// Whether a finished SHA-256 is the set's: its size and digest.
bool DigestMatches(Sha256Hasher& hasher, const HashEntry& expected) {
  unsigned char digest[kSha256Size];
  return hasher.bytes() == expected.size && hasher.Finish(digest) &&
         memcmp(digest, expected.sha256, kSha256Size) == 0;
}

// Whether the staging file already holds exactly the content the set's hash data describes.
bool StagedFileMatches(const char* path, const HashEntry& expected) {
  ScopedFile file(CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                              nullptr));
  if (!file) return false;
  LARGE_INTEGER size;
  if (!GetFileSizeEx(file.get(), &size) || static_cast<uint64_t>(size.QuadPart) != expected.size) return false;
  std::unique_ptr<char[]> buffer(new (std::nothrow) char[kTransferBufferSize]);
  Sha256Hasher hasher;
  if (!buffer || !hasher.valid()) return false;
  for (;;) {
    if (g_state.flags.cancelRequested.load() != 0) return false;
    DWORD got = 0;
    if (!ReadFile(file.get(), buffer.get(), kTransferBufferSize, &got, nullptr)) return false;
    if (got == 0) break;
    if (!hasher.Update(buffer.get(), got)) return false;
  }
  return DigestMatches(hasher, expected);
}

// One file's transfer across its attempts: what is staged, how the server named the version it began,
// and what the display has counted.
struct FileTransfer {
  const char* url;
  const char* path;
  bool filler;
  bool countProgress;
  bool written = false;      // the staging file was created or opened by this run
  uint64_t staged = 0;       // content bytes in the staging file that belong to the version below
  uint64_t serverTotal = 0;  // the stored file's length, from the first whole answer
  char validator[256] = {};  // If-Range guard of that version; empty: the next attempt starts at byte 0
  char etag[256] = {};
  ProgressLedger ledger;     // every content byte counted once in the display
  // With the set's hash data: the staged bytes hashed as they are written, so that a whole file is
  // checked without reading it back. Exact only while it has taken every staged byte (bytes() ==
  // staged); otherwise the file is read back and hashed whole.
  const HashEntry* expected = nullptr;
  std::unique_ptr<Sha256Hasher> hasher;
};

// Whether the staged file is the set's: from the hash taken while it was written when that saw every
// staged byte, else read back from the disk.
bool StagedBytesMatch(FileTransfer& t) {
  if (t.hasher && t.hasher->bytes() == t.staged) return DigestMatches(*t.hasher, *t.expected);
  LogEvent("file %s: hashed again from the disk (its bytes were not all hashed as they arrived)", t.path);
  return StagedFileMatches(t.path, *t.expected);
}

// Opens the staging file for this attempt: appended to when the staged bytes are continued, replaced
// whole otherwise.
ScopedFile OpenStagingFile(const char* path, bool append, uint64_t staged) {
  // Written without sharing: no other program may change the bytes while they arrive and are hashed.
  ScopedFile file(CreateFileA(path, GENERIC_WRITE, 0, nullptr, append ? OPEN_EXISTING : CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr));
  if (file && append) {
    LARGE_INTEGER at;
    at.QuadPart = static_cast<LONGLONG>(staged);
    // Drops whatever lies past the bytes known to be good (a write cut by a full disk).
    if (!SetFilePointerEx(file.get(), at, nullptr, FILE_BEGIN) || !SetEndOfFile(file.get())) file.reset();
  }
  return file;
}

// Streams an opened answer of `announced` bytes into the staging file, one chunk at a time: a chunk fills
// the transfer buffer (or ends the file) before it is written and shown, since every chunk costs a
// write and a display update. The staged count follows every write, so a cut attempt leaves it exact for
// the next one.
TransferFault StreamToFile(WebDisplay& display, BoundedReader* reader, uint64_t announced, HANDLE file,
                           FileTransfer* t) {
  FillerDecoder decoder;  // every attempt begins at an even server offset: a filler byte
  uint64_t received = 0;
  for (int chunk = 1;; ++chunk) {
    char* data = nullptr;
    DWORD got = 0;
    DWORD error = 0;
    BoundedReader::Result read =
        reader->ReadChunk(TransferStallBoundMs(), &g_state.flags.cancelRequested, &data, &got, &error);
    if (read == BoundedReader::Result::kStalled) {
      bool cancelled = g_state.flags.cancelRequested.load() != 0;
      LogEvent("transfer stalled: no byte for %lu ms%s, %llu bytes of this answer received",
               static_cast<unsigned long>(cancelled ? kCancelledStallMs : TransferStallBoundMs()),
               cancelled ? " after Cancel" : "", static_cast<unsigned long long>(received));
      return TransferFault::kStalled;
    }
    if (read == BoundedReader::Result::kFailed) {
      return error == ERROR_INTERNET_TIMEOUT ? TransferFault::kStalled : TransferFault::kReadFailed;
    }
    if (read == BoundedReader::Result::kEnd) break;
    received += got;
    // A server that sends more than it announced is not trusted with the staging file.
    if (received > announced) return TransferFault::kCutBody;
    DWORD keep = t->filler ? static_cast<DWORD>(decoder.Decode(data, got, data)) : got;
    DWORD written = 0;
    if (!WriteFile(file, data, keep, &written, nullptr) || written != keep) return TransferFault::kLocal;
    t->staged += written;
    if (t->hasher && !t->hasher->Update(data, written)) t->hasher.reset();
    if (t->countProgress) AdvanceProgress(display, static_cast<DWORD>(t->ledger.Credit(t->staged)));
    if (chunk >= 2) display.ShowActivity(ActivityFrame(chunk - 2));
  }
  // A connection that ends early looks like the end of the file to the reader; only the announced
  // length tells a cut file from a whole one.
  return received == announced ? TransferFault::kNone : TransferFault::kCutBody;
}

// Streams the answer into the staging file (appended to, or replaced whole) through a reader that owns
// the request and closes it; a request that fails to close fails an attempt that otherwise succeeded.
TransferFault StreamAnswer(WebDisplay& display, ScopedInternet request, uint64_t announced, bool append,
                           FileTransfer* t) {
  ScopedFile file = OpenStagingFile(t->path, append, t->staged);
  if (!file) return TransferFault::kLocal;
  t->written = true;
  // A file begun again is hashed from its first byte; a continued one goes on from the staged bytes.
  if (!append) t->hasher.reset();
  if (t->expected != nullptr && t->staged == 0 && !t->hasher) t->hasher.reset(new (std::nothrow) Sha256Hasher);
  if (t->hasher && !t->hasher->valid()) t->hasher.reset();
  BoundedReader reader(std::move(request), kTransferBufferSize);
  reader.ReadAhead();
  TransferFault fault = reader.ok() ? StreamToFile(display, &reader, announced, file.get(), t) : TransferFault::kLocal;
  if (!file.reset() && fault == TransferFault::kNone) fault = TransferFault::kLocal;
  if (!reader.Close() && fault == TransferFault::kNone) fault = TransferFault::kLocal;
  return fault;
}

// One attempt: asks for the rest of the file when a guarded part of it is staged, else for all of it.
AttemptResult TryOnce(WebDisplay& display, const char* discFolder, const char* fileName, FileTransfer* t) {
  AttemptResult result;
  char headers[512];
  uint64_t offset = ResumeServerOffset(t->staged, t->filler);
  bool resume = t->staged > 0 && FormResumeHeaders(offset, t->validator, headers, sizeof headers);
  if (!resume) t->staged = 0;

  HINTERNET opened = nullptr;
  RemoteAnswer answer;
  int answered = OpenRemoteAnswer(t->url, resume ? headers : nullptr, &opened, &answer);
  ScopedInternet request(opened);
  if (answered != 0) {
    // Redirections that lead nowhere will lead nowhere again.
    result.fault = answered == 2 ? TransferFault::kBadAnswer : TransferFault::kConnectFailed;
    return result;
  }
  result.status = answer.status;
  result.haveRetryAfter = RetryAfterOf(answer, &result.retryAfterMs);

  bool append = false;
  RangeAnswer verdict = resume ? JudgeRangeAnswer(offset, answer.status, answer.contentRange,
                                                  answer.length < 0 ? 0 : static_cast<uint64_t>(answer.length),
                                                  t->serverTotal, t->etag, answer.etag)
                               : (answer.status == 200 ? RangeAnswer::kWhole : RangeAnswer::kStatus);
  if (verdict == RangeAnswer::kAppend) {
    append = true;
  } else if (verdict == RangeAnswer::kDiscard) {
    // Never splice: the next attempt fetches the whole file.
    t->staged = 0;
    t->validator[0] = '\0';
    result.fault = TransferFault::kRangeMismatch;
  } else if (verdict == RangeAnswer::kStatus) {
    result.fault = TransferFault::kHttpStatus;
  } else if (answer.length <= 0 || answer.length > 0xFFFFFFFFll) {
    result.fault = TransferFault::kBadAnswer;  // as before: the file counts as missing
  } else {
    // A whole answer: a new version begins (the server ignored the range, or the file changed).
    t->staged = 0;
    t->serverTotal = static_cast<uint64_t>(answer.length);
    CopyText(t->etag, sizeof t->etag, answer.etag);
    ChooseIfRangeValidator(answer.etag, answer.lastModified, t->validator, sizeof t->validator);
  }

  if (result.fault == TransferFault::kNone) {
    uint64_t announced = static_cast<uint64_t>(answer.length);
    if (!CreateSubfolders(discFolder, fileName)) {
      result.fault = TransferFault::kLocal;
    } else {
      result.fault = StreamAnswer(display, std::move(request), announced, append, t);
    }
  }
  display.ShowActivity("");
  // (Empty after StreamAnswer, which closed the request itself.)
  if (!request.reset() && result.fault == TransferFault::kNone) result.fault = TransferFault::kLocal;
  return result;
}

// Begins the file afresh from another source: nothing staged counts for it, no range is asked, the
// running hash starts over (the staging file is replaced at the next attempt). The progress ledger stays,
// so the display counts no byte twice.
void StartOver(FileTransfer* t, const char* url) {
  t->url = url;
  t->staged = 0;
  t->serverTotal = 0;
  t->validator[0] = '\0';
  t->etag[0] = '\0';
  t->hasher.reset();
}

enum class MirrorEnd {
  kStaged,  // a mirror served the file whole and it matched the hash data
  kOrigin,  // no mirror served it: the origin's turn
  kFailed,  // this computer's fault or Cancel: the file fails here
};

// The file's mirrors in its spreading order, one attempt each; a fault moves it to the next at once.
MirrorEnd TryMirrors(WebDisplay& display, const FileToStage& file, FileTransfer* t) {
  MirrorPool& pool = *file.mirrors;
  const std::vector<int> sources = pool.SourcesFor(file.fileName, true);
  for (size_t i = 0; i < sources.size() && sources[i] != kOriginSource; ++i) {
    const int mirror = sources[i];
    if (g_state.flags.cancelRequested.load() != 0) return MirrorEnd::kFailed;
    if (pool.LeftOut(mirror)) continue;  // left out meanwhile by another file's faults
    const std::string base = pool.Url(mirror);
    char url[kTextSize];
    AttemptResult r;
    if (!FormServerUrl(base.c_str(), file.discFolder, file.fileName, url, sizeof url)) {
      LogEvent("mirror %d: the URL of %s does not fit; next source", mirror + 1, file.fileName);
      continue;
    }
    StartOver(t, url);
    r = TryOnce(display, file.discFolder, file.fileName, t);
    if (r.fault == TransferFault::kNone && !StagedBytesMatch(*t)) r.fault = TransferFault::kHashMismatch;
    if (r.fault == TransferFault::kNone) {
      LogEvent("file staged: %s (%llu bytes, from mirror %d %s)", t->path, static_cast<unsigned long long>(t->staged),
               mirror + 1, url);
      return MirrorEnd::kStaged;
    }
    if (g_state.flags.cancelRequested.load() != 0) return MirrorEnd::kFailed;
    if (StepAfterMirrorFault(r.fault) == MirrorFaultStep::kEndFile) {
      LogEvent("file failed: %s from mirror %d %s (%s on this computer)", file.fileName, mirror + 1, url,
               TransferFaultName(r.fault));
      return MirrorEnd::kFailed;
    }
    const bool leftOut = pool.ReportFault(mirror);
    // The next source, as it stands now (another transfer may leave a mirror out meanwhile).
    std::string next = "the origin";
    for (size_t j = i + 1; j < sources.size() && sources[j] != kOriginSource; ++j) {
      if (!pool.LeftOut(sources[j])) {
        next = "mirror " + std::to_string(sources[j] + 1) + " " + pool.Url(sources[j]);
        break;
      }
    }
    LogEvent("mirror failover: %s from mirror %d %s failed (%s, status %lld, %llu bytes staged); next: %s",
             file.fileName, mirror + 1, url, TransferFaultName(r.fault), static_cast<long long>(r.status),
             static_cast<unsigned long long>(t->staged), next.c_str());
    if (leftOut) {
      LogEvent("mirror %d %s left out for the rest of the run (%d faults)", mirror + 1, base.c_str(),
               kMirrorFaultLimit);
    }
  }
  return MirrorEnd::kOrigin;
}

}  // namespace

bool BuildServerUrl(const char* discFolder, const char* fileName, char* url, size_t urlSize) {
  char directory[kTextSize];
  if (!UpdateDirectoryUrl(g_state.download.httpsMode, directory, sizeof directory)) return false;
  return FormServerUrl(directory, discFolder, fileName, url, urlSize);
}

bool BuildStagingPath(const char* discFolder, const char* fileName, char* path, size_t pathSize) {
  return FormStagingPath(g_state.paths.stagingFolder, discFolder, fileName, path, pathSize);
}

void FormStatus(const char* discFolder, const char* fileName, char* status, size_t statusSize) {
  CopyText(status, statusSize, g_state.download.httpsMode ? "https://... .../" : "http://... .../");
  AppendText(status, statusSize, kSetFolder);
  AppendText(status, statusSize, "/");
  AppendText(status, statusSize, discFolder);
  AppendText(status, statusSize, "/");
  AppendText(status, statusSize, fileName);
}

StagedNames::StagedNames(const char* folder) {
  std::string pattern = std::string(folder) + "\\*";
  WIN32_FIND_DATAA found;
  ScopedFind find(FindFirstFileA(pattern.c_str(), &found));
  if (!find) {
    known_ = GetLastError() == ERROR_FILE_NOT_FOUND;  // an empty folder
    return;
  }
  do {
    if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) names_.insert(Folded(found.cFileName));
  } while (FindNextFileA(find.get(), &found));
  known_ = GetLastError() == ERROR_NO_MORE_FILES;
}

bool StagedNames::MayHold(const char* name) const {
  if (!known_) return true;
  for (const char* p = name; *p != '\0'; ++p) {
    if (*p == '\\' || *p == '/' || static_cast<unsigned char>(*p) >= 0x80) return true;
  }
  return names_.count(Folded(name)) != 0;
}

std::string StagedNames::Folded(const char* name) {
  std::string s(name);
  for (char& c : s) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return s;
}

FileResult TransferSetFile(WebDisplay& display, const FileToStage& file) {
  const char* discFolder = file.discFolder;
  const char* fileName = file.fileName;
  const HashEntry* expected = file.expected;
  ShowFileStatus(display, discFolder, fileName);
  // A name from the server's list must not lead out of the disc folder (..\, a drive, \\server\).
  if (!IsSafeServerName(fileName)) {
    LogEvent("file refused: server name \"%s\" leaves its disc folder", fileName);
    return FileResult::kFailed;
  }

  char url[kTextSize];
  char path[kTextSize];
  if (!BuildServerUrl(discFolder, fileName, url, sizeof url)) return FileResult::kFailed;
  if (!BuildStagingPath(discFolder, fileName, path, sizeof path)) return FileResult::kFailed;
  char status[kTextSize];
  FormStatus(discFolder, fileName, status, sizeof status);
  const bool mayBeStaged = file.stagedBefore == nullptr || file.stagedBefore->MayHold(fileName);
  if (expected != nullptr && mayBeStaged && StagedFileMatches(path, *expected)) {
    LogEvent("file kept: %s (staged by an earlier run, size and hash match)", path);
    if (file.countProgress) AdvanceProgress(display, static_cast<DWORD>(expected->size));
    return FileResult::kStaged;
  }

  FileTransfer t;
  t.url = url;
  t.path = path;
  t.filler = IsFillerName(fileName);
  t.countProgress = file.countProgress;
  t.expected = expected;
  if (expected != nullptr && file.mirrors != nullptr && file.mirrors->Count() > 0) {
    const MirrorEnd fromMirror = TryMirrors(display, file, &t);
    if (fromMirror == MirrorEnd::kStaged) return FileResult::kStaged;
    if (fromMirror == MirrorEnd::kFailed) {
      if (t.written) DeleteFileA(path);
      return FileResult::kFailed;
    }
    StartOver(&t, url);
  }
  const RetryOutcome outcome = RunAttempts(
      display, status,
      [&](int) {
        AttemptResult r = TryOnce(display, discFolder, fileName, &t);
        // The whole file against the set's hash data: a file continued over several attempts is checked
        // whole. A mismatch is never retried: the server holds other bytes.
        if (r.fault == TransferFault::kNone && expected != nullptr && !StagedBytesMatch(t)) {
          r.fault = TransferFault::kHashMismatch;
        }
        return r;
      },
      [&](int attempt, const AttemptResult& r, bool, bool again) {
        if (r.fault == TransferFault::kHashMismatch) return;  // logged where it ends the file
        LogEvent("file attempt %d/%d failed: %s from %s (fault %d, status %lld, %llu bytes staged)%s", attempt,
                 kMaxAttempts, fileName, url, static_cast<int>(r.fault), static_cast<long long>(r.status),
                 static_cast<unsigned long long>(t.staged), again ? "; tried again" : "");
      });
  if (outcome.end == RetryEnd::kSucceeded) {
    LogEvent("file staged: %s (%llu bytes, attempt %d, from %s)", path, static_cast<unsigned long long>(t.staged),
             outcome.attempts, url);
    return FileResult::kStaged;
  }
  if (outcome.last.fault == TransferFault::kHashMismatch) {
    LogEvent("file failed: %s from %s (damaged: size or SHA-256 differs from the set's hash data)", fileName, url);
    DeleteFileA(path);
    return FileResult::kDamaged;
  }
  LogEvent("file failed: %s from %s", fileName, url);
  // A cut file must not pass for a whole one: the copy step then meets it as missing. A file this run
  // never opened stays as an earlier run left it.
  if (t.written) DeleteFileA(path);
  return FileResult::kFailed;
}

int DownloadFile(WebDisplay& display, const char* discFolder, const char* fileName, int countProgress,
                 const HashEntry* expected, bool* damaged) {
  FileToStage file;
  file.discFolder = discFolder;
  file.fileName = fileName;
  file.countProgress = countProgress != 0;
  file.expected = expected;
  const FileResult result = TransferSetFile(display, file);
  if (damaged != nullptr) *damaged = result == FileResult::kDamaged;
  return result == FileResult::kStaged ? 0 : 1;
}

namespace {

// The progress of the whole download: the transfers in flight at once all count into one total, and the
// bar and the percentage are written under the same lock, so each byte counts once and what is shown
// only grows (a later total is never overwritten by an earlier one).
CRITICAL_SECTION& ProgressLock() {
  static CRITICAL_SECTION* lock = [] {
    CRITICAL_SECTION* made = new CRITICAL_SECTION;
    InitializeCriticalSection(made);
    return made;
  }();
  return *lock;
}

}  // namespace

void AdvanceProgress(WebDisplay& display, DWORD bytes) {
  ScopedLock held(ProgressLock());
  RemoteDescription& remote = g_state.download.remote;
  // Wraps like the 32-bit counter it is instead of overflowing a signed value.
  remote.bytesDone = static_cast<int32_t>(static_cast<uint32_t>(remote.bytesDone) + bytes);
  double ratio = ProgressRatio(remote.bytesDone, remote.overallTotal);
  display.ShowBar(ProgressPosition(ratio));
  char percent[32];
  FormatPercent(ratio, percent, sizeof percent);
  display.ShowPercent(percent);
}

ListFetch FetchSetText(WebDisplay& display, const char* discFolder, const char* name, WholeFile* text) {
  char url[kTextSize];
  if (!BuildServerUrl(discFolder, name, url, sizeof url)) return ListFetch::kAbsent;
  char status[kTextSize];
  FormStatus(discFolder, name, status, sizeof status);
  const RetryOutcome outcome = RunAttempts(
      display, status, [&](int) { return FetchWholeFile(url, text); },
      [&](int attempt, const AttemptResult& r, bool transient, bool again) {
        if (!transient) return;  // the server's own word: no attempt failed, the file is not there
        LogEvent("attempt %d/%d failed: %s (fault %d, status %lld)%s", attempt, kMaxAttempts, url,
                 static_cast<int>(r.fault), static_cast<long long>(r.status), again ? "; tried again" : "");
      });
  switch (outcome.end) {
    case RetryEnd::kSucceeded:
      if (outcome.attempts > 1) LogEvent("list fetched: %s (attempt %d)", url, outcome.attempts);
      return ListFetch::kArrived;
    case RetryEnd::kFinal:
      return outcome.last.fault == TransferFault::kLocal ? ListFetch::kFailed : ListFetch::kAbsent;
    case RetryEnd::kGaveUp:
      break;
  }
  return ListFetch::kFailed;
}
