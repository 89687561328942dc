#include "web/set_download_win.h"

#include <commctrl.h>
#include <wininet.h>

#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <unordered_set>
#include <utility>
#include <vector>

#include "state/install_state_win.h"
#include "base/private_folder_win.h"
#include "base/resource_text_win.h"
#include "res/resource.h"
#include "base/install_log_win.h"
#include "base/message_box_win.h"
#include "base/scoped_handle_win.h"
#include "base/text.h"
#include "layout/description.h"
#include "web/bounded_read_win.h"
#include "web/filler.h"
#include "web/ini_index.h"
#include "web/ini_lookup.h"
#include "ui/progress_text.h"
#include "ui/web_display_win.h"
#include "web/network_texts.h"
#include "web/range_resume.h"
#include "web/remote_file_win.h"
#include "web/retry_policy.h"
#include "web/server_layout.h"
#include "web/session_win.h"
#include "web/set_crypto_win.h"
#include "web/set_hashes.h"
#include "web/set_verify_win.h"
#include "web/space_check_win.h"

namespace {

// "A telepítési könyvtár nem található a WEB-en!" (the installation folder cannot be found on the web)
const char kNoRootText[] =
    "A telep\xEDt\xE9si k\xF6nyvt\xE1r nem tal\xE1lhat\xF3 a WEB-en!";
const char kNoRootCaption[] = "QuarnCAD System Error!";

int32_t ClampToInt32(int64_t v) {
  if (v > INT32_MAX) return INT32_MAX;
  if (v < INT32_MIN) return INT32_MIN;
  return static_cast<int32_t>(v);
}

// A whole text file from the server: Install.ini or a file list.
struct WholeFile {
  std::unique_ptr<char[]> text;
  int size = 0;
};

// The request is always closed before return; kCloseFailed means the text arrived whole but closing
// the request failed.
enum class FetchResult { kOk, kOpenFailed, kReadFailed, kCloseFailed };

FetchResult FetchWholeFile(const char* discFolder, const char* fileName, WholeFile* file) {
  char url[kTextSize];
  if (!BuildServerUrl(discFolder, fileName, url, sizeof url)) return FetchResult::kOpenFailed;
  HINTERNET opened = nullptr;
  DWORD length = 0;
  if (OpenRemoteTextFile(url, &opened, &length) != 0) return FetchResult::kOpenFailed;
  ScopedInternet request(opened);
  file->text.reset(new (std::nothrow) char[length]);
  if (!file->text) return FetchResult::kReadFailed;
  int read = ReadRemoteFile(std::move(request), file->text.get(), length);
  if (read == 1) return FetchResult::kReadFailed;
  file->size = static_cast<int>(length);
  return read == 0 ? FetchResult::kOk : FetchResult::kCloseFailed;
}

// Keeps the bytes of Install.ini or a file list, as they arrived and were checked, in the run's private
// folder (made at the first call): every later step reads them from there, never again from the staging
// folder, which other users may write. False: nothing can be installed from them.
bool KeepVerifiedCopy(const char* discFolder, const char* fileName, const char* data, int size) {
  char* folder = g_state.paths.verifiedFolder;
  if (folder[0] == '\0' && !CreatePrivateFolder(folder, sizeof g_state.paths.verifiedFolder)) {
    LogEvent("private folder for the verified description could not be made (error %lu)", GetLastError());
    return false;
  }
  char relative[kTextSize];
  if (!FormStagingPath("", discFolder, fileName, relative, sizeof relative) ||
      !WritePrivateFile(folder, relative, data, size < 0 ? 0 : static_cast<size_t>(size))) {
    LogEvent("verified copy of %s could not be written to %s (error %lu)", fileName, folder, GetLastError());
    return false;
  }
  return true;
}

// The checks of this run's set (Sign.ini, the lists' [Hashes]); reset by ReadRemoteDescription.
SetVerifier g_verifier;
bool g_refused = false;
// A file read before the description (Sign.ini) that did not come after its attempts.
char g_failedDescription[kTextSize] = "";

// A damaged file or a refused set ends the run: the box says why, then the run ends interrupted (nothing
// is copied, recorded or started). What was staged stays; a damaged file itself is already deleted.
void RefuseSet(WebDisplay& display, SetRefusal why, const char* fileName) {
  ShowSetRefusal(display.owner(), g_state.process.caption, why, fileName);
  g_refused = true;
  g_state.flags.cancelRequested = 1;
}

// The identity check of a signed set against the verified Install.ini (web/set_verify_win.h): true when
// the set was refused (its box shown).
bool RefuseForeignSet(WebDisplay& display, const char* description, size_t size) {
  SYSTEMTIME now;
  GetSystemTime(&now);
  std::string detail;
  SetIdentity identity;
  IdentityVerdict verdict =
      g_verifier.CheckIdentity(description, size, kSetFolder, now.wYear, now.wMonth, now.wDay, &detail, &identity);
  LogEvent("%s", detail.c_str());
  std::string named;
  SetRefusal why = SetRefusal::kBadSignature;
  switch (verdict) {
    case IdentityVerdict::kGood:
      return false;
    case IdentityVerdict::kMissing:
    case IdentityVerdict::kMalformed:
      break;
    case IdentityVerdict::kFolder:
      why = SetRefusal::kForeign;
      named = identity.folder;
      break;
    case IdentityVerdict::kCadSystem:
    case IdentityVerdict::kVersion:
      why = SetRefusal::kForeign;
      named = identity.cadSystem + " " + identity.version;
      break;
    case IdentityVerdict::kExpired:
      why = SetRefusal::kExpired;
      named = FormatUtcDate(identity.expiresYear, identity.expiresMonth, identity.expiresDay);
      break;
    case IdentityVerdict::kSequence:
      why = SetRefusal::kWithdrawn;
      named = std::to_string(identity.sequence);
      break;
  }
  RefuseSet(display, why, named.c_str());
  return true;
}

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

// The status field's text for a file: the server directory hidden, the set's path shown.
void FormStatus(const char* discFolder, const char* fileName, char* status, size_t statusSize) {
  CopyText(status, statusSize, g_state.download.httpsMode ? "https://... .../" : "http://... .../");
  AppendText(status, statusSize, kSetFolder);
  AppendText(status, statusSize, "/");
  AppendText(status, statusSize, discFolder);
  AppendText(status, statusSize, "/");
  AppendText(status, statusSize, fileName);
}

void ShowStatus(WebDisplay& display, const char* discFolder, const char* fileName) {
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

// The names of the files a disc's staging folder holds, read once before its files are fetched: a file
// that is not there needs no look at the disk of its own (under Wine every lookup of a name that is not
// there searches the whole folder, so looking up each of 10,000 files costs seconds).
class StagedNames {
 public:
  explicit StagedNames(const char* folder) {  // without its closing backslash
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

  // false only when the folder surely holds no file of this name. A name in a subfolder, or with
  // letters beyond ASCII (whose other case the folding here does not know), is always looked at.
  bool MayHold(const char* name) const {
    if (!known_) return true;
    for (const char* p = name; *p != '\0'; ++p) {
      if (*p == '\\' || *p == '/' || static_cast<unsigned char>(*p) >= 0x80) return true;
    }
    return names_.count(Folded(name)) != 0;
  }

 private:
  static std::string Folded(const char* name) {
    std::string s(name);
    for (char& c : s) {
      if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return s;
  }

  bool known_ = false;
  std::unordered_set<std::string> names_;
};

// The disc whose files are being fetched: what its staging folder held before (null: look at each file).
const StagedNames* g_stagedNames = nullptr;

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

struct AttemptResult {
  TransferFault fault = TransferFault::kNone;
  int64_t status = 0;
  bool haveRetryAfter = false;
  uint32_t retryAfterMs = 0;
};

int64_t UnixNow() {
  FILETIME ft;
  GetSystemTimeAsFileTime(&ft);
  uint64_t t = (static_cast<uint64_t>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
  return static_cast<int64_t>(t / 10000000u) - INT64_C(11644473600);
}

uint32_t NextRandom() {
  // Jitter only: spreads the waits of many clients; not a secret.
  static uint32_t state = 0;
  if (state == 0) {
    LARGE_INTEGER c;
    QueryPerformanceCounter(&c);
    state = static_cast<uint32_t>(c.QuadPart) ^ GetCurrentThreadId() ^ 0x9E3779B9u;
    if (state == 0) state = 1;
  }
  state ^= state << 13;
  state ^= state >> 17;
  state ^= state << 5;
  return state;
}

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
  result.haveRetryAfter = answer.retryAfter[0] != '\0' && ParseRetryAfter(answer.retryAfter, UnixNow(), &result.retryAfterMs);

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

// Waits before the next attempt, showing it in the status field; false as soon as Cancel is pressed.
bool WaitBeforeRetry(WebDisplay& display, uint32_t delayMs, int nextAttempt, const char* status) {
  DWORD start = GetTickCount();
  uint32_t shownSeconds = 0xFFFFFFFFu;
  for (;;) {
    if (g_state.flags.cancelRequested.load() != 0) return false;
    DWORD elapsed = GetTickCount() - start;
    if (elapsed >= delayMs) return true;
    uint32_t left = (delayMs - elapsed + 999) / 1000;
    if (left != shownSeconds) {
      shownSeconds = left;
      char text[kTextSize];
      FormatRetryStatus(LoadResourceText(g_state.windows.instance, (left) > 0 ? IDS_RETRY_WAIT : IDS_RETRY).c_str(), nextAttempt, kMaxAttempts, left, status, text, sizeof text);
      display.ShowStatus(text);
    }
    // Short slices: Cancel ends the wait at once.
    Sleep(delayMs - elapsed < 50 ? delayMs - elapsed : 50);
  }
}

// What became of a disc's list.
enum class ListFetch {
  kArrived,  // the whole text is in memory
  kAbsent,   // the server says there is none: the set ends before this disc
  kFailed,   // it did not come (the network or the server failed on every attempt, or no memory)
};

// One attempt at a disc's list, read whole into memory. The request is closed before return.
AttemptResult FetchListOnce(const char* url, WholeFile* list) {
  AttemptResult result;
  const DWORD started = GetTickCount();
  HINTERNET opened = nullptr;
  RemoteAnswer answer;
  int how = OpenRemoteAnswer(url, nullptr, &opened, &answer);
  if (how != 0) {
    const DWORD error = GetLastError();
    // Redirections that lead nowhere will lead nowhere again; no answer at all may come next time.
    result.fault = how == 2 ? TransferFault::kBadAnswer : TransferFault::kConnectFailed;
    LogEvent("request %s: failed, WinINet error %lu, %lu ms", url, error, GetTickCount() - started);
    return result;
  }
  ScopedInternet request(opened);
  result.status = answer.status;
  result.haveRetryAfter = answer.retryAfter[0] != '\0' && ParseRetryAfter(answer.retryAfter, UnixNow(), &result.retryAfterMs);
  if (answer.status != 200) {
    result.fault = TransferFault::kHttpStatus;
  } else if (answer.length <= 0 || answer.length > static_cast<int64_t>(kMaxWholeFileLength)) {
    result.fault = TransferFault::kBadAnswer;
  }
  LogEvent("request %s: status %lld, %lld bytes announced, %lu ms%s", url, static_cast<long long>(answer.status),
           static_cast<long long>(answer.length), GetTickCount() - started,
           result.fault == TransferFault::kNone
               ? ""
               : (answer.status == 200 ? " (refused: length missing or out of bounds)" : " (refused)"));
  if (result.fault != TransferFault::kNone) return result;
  const DWORD length = static_cast<DWORD>(answer.length);
  list->text.reset(new (std::nothrow) char[length]);
  if (!list->text) {
    result.fault = TransferFault::kLocal;
  } else if (ReadRemoteFile(std::move(request), list->text.get(), length) == 1) {
    result.fault = TransferFault::kReadFailed;  // a cut, reset or stalled body
  } else {
    list->size = static_cast<int>(length);
  }
  // A list that arrived whole is used even when closing its request fails, as it always was.
  return result;
}

// Fetches a disc's list, with the retries every file of the set gets. Only the server's own word ends
// the set here: a status it means (404, 410, 403 ...) or an answer it would give again (no length,
// redirections that lead nowhere). A fault that may pass (no connection, a reset, a cut or stalled body,
// 408/429/5xx) is tried again, and when every attempt failed the list did not come: ending the set there
// would install the discs before it and report success without the rest.
ListFetch FetchList(WebDisplay& display, const char* discFolder, const char* listName, WholeFile* list) {
  char url[kTextSize];
  if (!BuildServerUrl(discFolder, listName, url, sizeof url)) return ListFetch::kAbsent;
  char status[kTextSize];
  FormStatus(discFolder, listName, status, sizeof status);
  for (int attempt = 1;; ++attempt) {
    if (attempt > 1) {
      char text[kTextSize];
      FormatRetryStatus(LoadResourceText(g_state.windows.instance, IDS_RETRY).c_str(), attempt, kMaxAttempts, 0, status, text, sizeof text);
      display.ShowStatus(text);
    }
    AttemptResult r = FetchListOnce(url, list);
    if (r.fault == TransferFault::kNone) {
      if (attempt > 1) {
        display.ShowStatus(status);
        LogEvent("list fetched: %s (attempt %d)", url, attempt);
      }
      return ListFetch::kArrived;
    }
    if (r.fault == TransferFault::kLocal) return ListFetch::kFailed;
    if (!IsTransientFault(r.fault, r.status)) return ListFetch::kAbsent;
    bool again = attempt < kMaxAttempts;
    uint32_t delay = again ? RetryDelayMs(attempt, r.haveRetryAfter, r.retryAfterMs, NextRandom()) : 0;
    LogEvent("attempt %d/%d failed: %s (fault %d, status %lld)%s", attempt, kMaxAttempts, url,
             static_cast<int>(r.fault), static_cast<long long>(r.status), again ? "; tried again" : "");
    if (!again || !WaitBeforeRetry(display, delay, attempt + 1, status)) return ListFetch::kFailed;
  }
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

bool SetWasRefused() { return g_refused; }

const char* FailedDescriptionFile() { return g_failedDescription; }

int ReadRemoteDescription(WebDisplay& display) {
  // Sign.ini before the description: a set refused here has nothing staged. A server without one
  // serves an unsigned (or old) set.
  g_verifier.Reset(kSetPolicy);
  g_refused = false;
  g_failedDescription[0] = '\0';
  // Sign.ini gets the retries a list gets: a busy or cut answer is tried again, and one that never
  // comes is a failed file, never a set without Sign.ini (that would drop the signature's check).
  WholeFile sign;
  ListFetch signFetched = FetchList(display, "Disc_01", kSignFileName, &sign);
  if (signFetched == ListFetch::kFailed) {
    CopyText(g_failedDescription, sizeof g_failedDescription, kSignFileName);
    LogEvent("description: %s could not be downloaded", kSignFileName);
    return 1;
  }
  bool signFound = signFetched == ListFetch::kArrived;
  SetTrust trust = g_verifier.AcceptSignFile(signFound, sign.text.get(), signFound ? static_cast<size_t>(sign.size) : 0,
                                             g_state.download.httpsMode != 0);
  LogEvent("set trust: %s (%s)", trust == SetTrust::kSigned ? "signed" : trust == SetTrust::kUnsigned ? "unsigned" : "refused",
           g_verifier.TrustReason());
  if (trust == SetTrust::kRefused) {
    RefuseSet(display, SetRefusal::kBadSignature, nullptr);
    return 1;
  }

  WholeFile description;
  if (FetchWholeFile("Disc_01", "Install.ini", &description) != FetchResult::kOk) {
    g_state.flags.cancelRequested = 1;
    return 1;
  }
  const char* text = description.text.get();
  int size = description.size;
  SetVerifier::Description checked =
      g_verifier.CheckDescription("Install.ini", text, static_cast<size_t>(size));
  if (checked == SetVerifier::Description::kDamaged || checked == SetVerifier::Description::kNotInSet) {
    RefuseSet(display, SetRefusal::kDamaged, "Install.ini");
    return 1;
  }
  // A signed set must say it is this set, for this product and version, still valid and not withdrawn.
  if (RefuseForeignSet(display, text, static_cast<size_t>(size))) return 1;
  // A new private folder for each run's description: an earlier run in this process leaves none behind.
  RemovePrivateFolder(g_state.paths.verifiedFolder);
  g_state.paths.verifiedFolder[0] = '\0';
  if (!KeepVerifiedCopy("Disc_01", "Install.ini", text, size)) {
    g_state.flags.cancelRequested = 1;
    return 1;
  }

  char root[kTextSize];
  FindIniValue("System", "RootDirectory", root, sizeof root, text, size);
  // The program folder (drive + root + "\QuarnWin32\") must leave room for the staging paths below it.
  char programFolder[kTextSize];
  CopyText(programFolder, sizeof programFolder, g_state.paths.programFolder);
  bool fits = AppendProgramFolder(programFolder, sizeof programFolder, root);
  // The staging folder and the longest name the run itself puts there (disc 15's list) must fit too: a
  // root that leaves no room ends the run here, before anything is written (its empty staging path once
  // put the whole set below the current folder).
  char stagingFolder[kTextSize];
  char longest[kTextSize];
  fits = fits && BuildStagingFolderPath(stagingFolder, sizeof stagingFolder, programFolder) &&
         FormStagingPath(stagingFolder, "Disc_15", "Fajls_15.ini", longest, sizeof longest);
  if (!IsServerRootName(root) || !fits) {
    // Owned by the web dialog, as the copy engine's boxes are: this runs on the worker thread, which has
    // no focus window, and a box without an owner can fall behind the dialog.
    ShowBox(display.owner(), kNoRootText, kNoRootCaption, MB_ICONERROR | MB_OK, IDOK);
    g_state.flags.cancelRequested = 1;
    return 1;
  }
  CopyText(g_state.choices.rootName, sizeof g_state.choices.rootName, root);
  CopyText(g_state.paths.programFolder, sizeof g_state.paths.programFolder, programFolder);

  RemoteDescription& remote = g_state.download.remote;
  int64_t firstPass = 0;
  for (int disc = 1; disc <= kDiscCount; ++disc) {
    if (g_state.flags.cancelRequested.load() != 0) return 1;
    char section[16];
    char value[kTextSize];
    FormDiscSection(disc, section, sizeof section);
    if (!FindIniValue(section, "", value, sizeof value, text, size)) continue;
    DiscSizeRecord& record = remote.discs[disc - 1];
    for (int part = 0; part < kPartCount; ++part) {
      if (g_state.flags.cancelRequested.load() != 0) return 1;
      if (!g_state.download.downloadSelected[part]) continue;
      FindIniValue(section, kPartNames[part], value, sizeof value, text, size);
      if (value[0] == '*') continue;
      record.size[part] = ParseDescriptionNumber(value);
      record.present[part] = 1;
      firstPass += record.size[part];
    }
  }
  int64_t secondPass = 0;
  for (int disc = 0; disc < kDiscCount; ++disc) {
    if (g_state.flags.cancelRequested.load() != 0) return 1;
    for (int part = 0; part < kPartCount; ++part) {
      if (g_state.download.downloadSelected[part] && remote.discs[disc].present[part]) {
        secondPass += remote.discs[disc].size[part];
      }
    }
  }
  remote.overallTotal = ClampToInt32(firstPass + secondPass);
  return 0;
}

namespace {

DownloadOutcome Ended(DownloadEnd end) {
  DownloadOutcome outcome;
  outcome.end = end;
  return outcome;
}

// A file of the set that did not arrive: a Cancel pressed meanwhile (which also breaks off a wait before
// the next attempt) is the user's own end; otherwise the phase ends naming the file.
DownloadOutcome FileFailed(const char* serverName) {
  if (g_state.flags.cancelRequested.load() != 0) return Ended(DownloadEnd::kCancelled);
  DownloadOutcome outcome = Ended(DownloadEnd::kFileFailed);
  // A name too long for the buffer is reported cut: the message and the log only name it.
  CopyText(outcome.failedFile, sizeof outcome.failedFile, serverName);
  LogEvent("download ended: %s could not be downloaded", serverName);
  return outcome;
}

DownloadOutcome Refused(WebDisplay& display, SetRefusal why, const char* fileName) {
  RefuseSet(display, why, fileName);
  return Ended(DownloadEnd::kRefused);
}

}  // namespace

DownloadOutcome DownloadInstallationSet(WebDisplay& display) {
  // A drive without room for the set ends the run before anything is fetched.
  if (CheckFreeSpace(display.owner()) != 0) {
    g_state.flags.cancelRequested = 1;
    return Ended(DownloadEnd::kNoSpace);
  }
  const DownloadOutcome cancelled = Ended(DownloadEnd::kCancelled);
  for (int disc = 1; disc <= kDiscCount; ++disc) {
    if (g_state.flags.cancelRequested.load() != 0) return cancelled;
    char discFolder[16];
    char listName[32];
    char path[kTextSize];
    FormDiscFolder(disc, discFolder, sizeof discFolder);
    FormFileListName(disc, listName, sizeof listName);
    // The description's check left room for every disc folder and list. A folder that cannot be made
    // (a file of that name, a refused or full drive) leaves nowhere to stage this disc: the download
    // stops here and the installation goes on with what the discs before it staged. The cause is on
    // this computer, so no box blames the server; the log names it.
    if (!BuildStagingPath(discFolder, nullptr, path, sizeof path)) return FileFailed(listName);
    if (!CreateDirectoryA(path, nullptr)) {
      const DWORD error = GetLastError();
      const DWORD attributes = GetFileAttributesA(path);
      if (error != ERROR_ALREADY_EXISTS || attributes == INVALID_FILE_ATTRIBUTES ||
          (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
        LogEvent("download stopped: the disc folder %s could not be made (%s, error %lu); the installation "
                 "goes on with what is staged",
                 path, error == ERROR_ALREADY_EXISTS ? "a file has its name" : "refused", error);
        return Ended(DownloadEnd::kComplete);
      }
    }

    // The first disc number without a list on the server ends the set. A list that does not come (it
    // is there but arrives cut, or the server is busy or out of reach on every attempt) is a failed file.
    WholeFile list;
    ListFetch fetched = FetchList(display, discFolder, listName, &list);
    if (fetched == ListFetch::kFailed) return FileFailed(listName);
    if (fetched == ListFetch::kAbsent) {
      // A list that Sign.ini names is part of the set: without it the set is cut short.
      if (g_verifier.Names(listName)) return Refused(display, SetRefusal::kDamaged, listName);
      return Ended(DownloadEnd::kComplete);
    }
    // The list against Sign.ini before any file it names is fetched. A list Sign.ini does not name
    // lies past the end of the set: the set ends here, as at a missing list.
    SetVerifier::Description checked =
        g_verifier.CheckDescription(listName, list.text.get(), static_cast<size_t>(list.size));
    if (checked == SetVerifier::Description::kNotInSet) return Ended(DownloadEnd::kComplete);
    if (checked == SetVerifier::Description::kDamaged ||
        !g_verifier.UseListHashes(list.text.get(), static_cast<size_t>(list.size))) {
      return Refused(display, SetRefusal::kDamaged, listName);
    }
    if (!KeepVerifiedCopy(discFolder, listName, list.text.get(), list.size)) return FileFailed(listName);

    // Every File%i of every part is looked up in this list: the index answers each lookup exactly as
    // FindIniValue would, without rescanning the list from its start every time.
    IniIndex listIndex(list.text.get(), list.size);
    const StagedNames stagedBefore(path);  // `path`: the disc's staging folder, made above
    struct Forget {
      ~Forget() { g_stagedNames = nullptr; }
    } forget;
    g_stagedNames = &stagedBefore;
    for (int part = 0; part < kPartCount; ++part) {
      if (!g_state.download.remote.discs[disc - 1].present[part]) continue;
      if (g_state.flags.cancelRequested.load() != 0) return cancelled;
      for (int n = 1;; ++n) {
        if (g_state.flags.cancelRequested.load() != 0) return cancelled;
        char key[16];
        char line[kTextSize];
        snprintf(key, sizeof key, "File%i", n);
        listIndex.Find(kPartNames[part], key, line, sizeof line);
        if (line[0] == '*') break;
        char serverName[kTextSize];
        FormServerName(line, serverName, sizeof serverName);
        // The list's hash data, when the set has it: a file staged by an earlier run whose size and hash
        // match is not fetched again, and every file fetched must match it.
        const HashEntry* expected = nullptr;
        if (g_verifier.ExpectFile(serverName, &expected) == SetVerifier::Expect::kMissing) {
          return Refused(display, SetRefusal::kDamaged, serverName);
        }
        bool damaged = false;
        if (DownloadFile(display, discFolder, serverName, 1, expected, &damaged) != 0) {
          if (damaged) return Refused(display, SetRefusal::kDamaged, serverName);
          return FileFailed(serverName);
        }
      }
      // Every file of the part is staged and matched the list's hash data: the copy step may take the
      // list's digests for them instead of hashing them again.
      g_state.download.remote.discs[disc - 1].checked[part] = g_verifier.ListHashed() ? 1 : 0;
    }
    // Install.ini once more, now into the staging folder; the display counted it already.
    if (disc == 1) {
      const HashEntry* expected = nullptr;
      bool damaged = false;
      g_verifier.ExpectDescription(&expected);
      if (DownloadFile(display, discFolder, "Install.ini", 0, expected, &damaged) != 0) {
        if (damaged) return Refused(display, SetRefusal::kDamaged, "Install.ini");
        return FileFailed("Install.ini");
      }
    }

    // The list last: a staged list means its disc arrived whole.
    if (!BuildStagingPath(discFolder, listName, path, sizeof path)) return FileFailed(listName);
    ScopedFile out(CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                               FILE_ATTRIBUTE_NORMAL, nullptr));
    DWORD written = 0;
    if (!out || !WriteFile(out.get(), list.text.get(), static_cast<DWORD>(list.size), &written, nullptr) ||
        written != static_cast<DWORD>(list.size)) {
      // A cut list must not pass for a whole one: its disc would be installed from part of it.
      out.reset();
      DeleteFileA(path);
      return FileFailed(listName);
    }
  }
  return Ended(DownloadEnd::kComplete);
}

int DownloadFile(WebDisplay& display, const char* discFolder, const char* fileName, int countProgress, const HashEntry* expected,
                 bool* damaged) {
  if (damaged != nullptr) *damaged = false;
  ShowStatus(display, discFolder, fileName);
  // A name from the server's list must not lead out of the disc folder (..\, a drive, \\server\).
  if (!IsSafeServerName(fileName)) {
    LogEvent("file refused: server name \"%s\" leaves its disc folder", fileName);
    return 1;
  }

  char url[kTextSize];
  char path[kTextSize];
  if (!BuildServerUrl(discFolder, fileName, url, sizeof url)) return 1;
  if (!BuildStagingPath(discFolder, fileName, path, sizeof path)) return 1;
  char status[kTextSize];
  FormStatus(discFolder, fileName, status, sizeof status);
  const bool mayBeStaged = g_stagedNames == nullptr || g_stagedNames->MayHold(fileName);
  if (expected != nullptr && mayBeStaged && StagedFileMatches(path, *expected)) {
    LogEvent("file kept: %s (staged by an earlier run, size and hash match)", path);
    if (countProgress != 0) AdvanceProgress(display, static_cast<DWORD>(expected->size));
    return 0;
  }

  FileTransfer t;
  t.url = url;
  t.path = path;
  t.filler = IsFillerName(fileName);
  t.countProgress = countProgress != 0;
  t.expected = expected;
  for (int attempt = 1;; ++attempt) {
    if (attempt > 1) {
      char text[kTextSize];
      FormatRetryStatus(LoadResourceText(g_state.windows.instance, IDS_RETRY).c_str(), attempt, kMaxAttempts, 0, status, text, sizeof text);
      display.ShowStatus(text);
    }
    AttemptResult r = TryOnce(display, discFolder, fileName, &t);
    // The whole file against the set's hash data: a file continued over several attempts is checked
    // whole. A mismatch is never retried: the server holds other bytes.
    if (r.fault == TransferFault::kNone && expected != nullptr && !StagedBytesMatch(t)) {
      LogEvent("file failed: %s from %s (damaged: size or SHA-256 differs from the set's hash data)", fileName, url);
      DeleteFileA(path);
      if (damaged != nullptr) *damaged = true;
      return 1;
    }
    if (r.fault == TransferFault::kNone) {
      if (attempt > 1) display.ShowStatus(status);
      LogEvent("file staged: %s (%llu bytes, attempt %d)", path, static_cast<unsigned long long>(t.staged),
               attempt);
      return 0;
    }
    bool transient = attempt < kMaxAttempts && IsTransientFault(r.fault, r.status);
    uint32_t delay = transient ? RetryDelayMs(attempt, r.haveRetryAfter, r.retryAfterMs, NextRandom()) : 0;
    LogEvent("file attempt %d/%d failed: %s from %s (fault %d, status %lld, %llu bytes staged)%s", attempt,
             kMaxAttempts, fileName, url, static_cast<int>(r.fault), static_cast<long long>(r.status),
             static_cast<unsigned long long>(t.staged), transient ? "; tried again" : "");
    if (!transient || !WaitBeforeRetry(display, delay, attempt + 1, status)) break;
  }
  LogEvent("file failed: %s from %s", fileName, url);
  // A cut file must not pass for a whole one: the copy step then meets it as missing. A file this run
  // never opened stays as an earlier run left it.
  if (t.written) DeleteFileA(path);
  return 1;
}

void AdvanceProgress(WebDisplay& display, DWORD bytes) {
  RemoteDescription& remote = g_state.download.remote;
  // Wraps like the 32-bit counter it is instead of overflowing a signed value.
  remote.bytesDone = static_cast<int32_t>(static_cast<uint32_t>(remote.bytesDone) + bytes);
  double ratio = ProgressRatio(remote.bytesDone, remote.overallTotal);
  display.ShowBar(ProgressPosition(ratio));
  char percent[32];
  FormatPercent(ratio, percent, sizeof percent);
  display.ShowPercent(percent);
}
