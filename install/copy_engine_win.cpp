// The file copy engine: copies the selected parts of every disc of the staged set to their targets.
//
// Runs on the worker thread. Its message boxes are owned by the display's dialog (a window of the main
// thread) and its display updates are messages sent to that dialog, so the main thread must keep
// pumping while the step runs. The dialog may be absent (silent runs, tests): every display call then
// does nothing and the boxes have no owner.
#include "install/copy_engine_win.h"

#include <commctrl.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "state/install_state_win.h"
#include "base/install_log_win.h"
#include "base/message_box_win.h"
#include "base/scoped_handle_win.h"
#include "base/sha256_win.h"
#include "base/text.h"
#include "layout/install_layout.h"
#include "install/copy_progress.h"
#include "layout/description.h"
#include "install/uninstall_record_win.h"
#include "layout/profile_section.h"
#include "layout/profile_section_win.h"
#include "res/resource.h"  // the string table of the boxes
#include "layout/server_layout.h"
#include "layout/set_hashes.h"
#include "layout/progress_text.h"
#include "ui/set_refusal_win.h"
#include "ui/web_display_win.h"

namespace {

// Set by a Cancel answer to one of the copy error boxes; checked after every file. The dialog's own
// Cancel button does not reach it: a press there takes effect after the whole copy step.
int g_stop = 0;
// Set with g_stop when a staged file differs from the set's hash data: the damaged-file end.
bool g_damaged = false;
// Set with g_stop when a target stayed held by another program and its box was answered Cancel.
bool g_inUse = false;

// A target another program holds open without sharing: a running installed system, or a virus scanner
// reading a file just written (which lets go within moments). Tried again for this long before the box.
constexpr DWORD kInUseRetryMs = 10000;
constexpr DWORD kInUsePollMs = 100;

bool IsHeldElsewhere(DWORD error) { return error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION; }

// Creation, last-access and last-write time of a source, carried over to its target.
struct FileTimes {
  FILETIME created, accessed, written;
};

// Frees the copy buffer however the disc ends.
struct LocalBuffer {
  explicit LocalBuffer(SIZE_T size) : p(static_cast<char*>(LocalAlloc(LMEM_FIXED, size))) {}
  ~LocalBuffer() {
    if (p) LocalFree(p);
  }
  LocalBuffer(const LocalBuffer&) = delete;
  LocalBuffer& operator=(const LocalBuffer&) = delete;
  char* p;
};

// One of the program's string-table messages with up to two arguments, owned by the host dialog, with
// the program's caption. The texts of the description are only ever arguments, never the format.
// In a silent run no box appears and `silentAnswer` is taken: keep an existing file (No), give up at a disc
// prompt (Cancel), go on past an error (OK).
int ShowMessage(HWND owner, UINT textId, UINT type, int silentAnswer, const char* arg1 = "", const char* arg2 = "") {
  HINSTANCE instance = g_state.windows.instance ? g_state.windows.instance : GetModuleHandleA(nullptr);
  char format[kTextSize] = "";
  LoadStringA(instance, textId, format, sizeof format);
  // Two paths of up to 255 characters each, or a longer path that was refused for its length.
  char text[2048];
  snprintf(text, sizeof text, format, arg1, arg2);
  return ShowBox(owner, text, g_state.process.caption, type, silentAnswer);
}

// Answer OK/Cancel of an error box: Cancel raises the stop flag.
void ShowStoppableError(WebDisplay& display, UINT textId, const char* arg1, const char* arg2 = "") {
  if (ShowMessage(display.owner(), textId, MB_OKCANCEL | MB_ICONERROR, IDOK, arg1, arg2) == IDCANCEL) g_stop = 1;
}

// Opens a file for writing without sharing (`disposition`: CREATE_ALWAYS for a target, OPEN_EXISTING to
// see whether the installed system's program is held). While another program holds it, it is tried again
// for up to kInUseRetryMs (not at all first when waitFirst is false); then the box names it and offers
// Retry (wait and try again) or Cancel (*gaveUp set; in a silent run Cancel is the answer). Any other
// failure returns an empty owner with the error kept for GetLastError; so does a success (CREATE_ALWAYS
// gives ERROR_ALREADY_EXISTS when it replaced a file).
ScopedFile OpenUnlessHeld(WebDisplay& display, const char* path, DWORD disposition, DWORD attributes, bool waitFirst,
                          bool* gaveUp) {
  *gaveUp = false;
  for (bool wait = waitFirst;; wait = true) {
    const DWORD start = GetTickCount();
    for (bool held = false;; held = true) {
      ScopedFile file(CreateFileA(path, GENERIC_WRITE, 0, nullptr, disposition, attributes, nullptr));
      if (file) {
        const DWORD opened = GetLastError();  // CREATE_ALWAYS: ERROR_ALREADY_EXISTS when a file was replaced
        if (held) {
          LogEvent("file free again: %s, after %lu ms", path, static_cast<unsigned long>(GetTickCount() - start));
        }
        SetLastError(opened);
        return file;
      }
      const DWORD error = GetLastError();
      if (!IsHeldElsewhere(error)) {
        SetLastError(error);
        return ScopedFile();
      }
      if (!wait || GetTickCount() - start >= kInUseRetryMs) break;
      if (!held) LogEvent("file held by another program: %s; tried again for up to 10 s", path);
      Sleep(kInUsePollMs);
    }
    LogEvent("file in use: %s is held by another program", path);
    if (ShowMessage(display.owner(), IDS_FILE_IN_USE, MB_RETRYCANCEL | MB_ICONWARNING, IDCANCEL, path) != IDRETRY) {
      LogEvent("file in use: %s, the installation ends (Cancel)", path);
      *gaveUp = true;
      SetLastError(ERROR_SHARING_VIOLATION);
      return ScopedFile();
    }
  }
}

// After each file: percentage, an empty activity field and the bar.
void ShowProgressAtFileEnd(WebDisplay& display) {
  const double ratio = CopyRatioAtFileEnd(g_state.copy.copyBytesDone, g_state.copy.copyBytesTotal);
  char percent[64];
  FormatCopyPercent(ratio, percent, sizeof percent);
  display.ShowPercent(percent);
  display.ShowActivity("");
  display.ShowBar(CopyBarPosition(ratio));
}

// After each full block of a file: the next spinner frame and the percentage; the bar stays.
void ShowProgressInFile(WebDisplay& display, uint64_t writtenInFile, int frame) {
  const double ratio = CopyRatioInFile(g_state.copy.copyBytesDone, writtenInFile, g_state.copy.copyBytesTotal);
  char percent[64];
  FormatCopyPercent(ratio, percent, sizeof percent);
  display.ShowActivity(ActivityFrame(frame));
  display.ShowPercent(percent);
}

// The counters are unsigned 32-bit values (they wrap past 4 GB); a file counts with the low part of its size.
void CountDone(DWORD bytes) { g_state.copy.copyBytesDone += bytes; }

// The block copy of an open source into an open target. Stops at the end of the source, at a short
// block, or at the first read or write error (reported; the partial target stays). *written: the bytes
// that reached the target, all of them hashed into *hash (when given).
bool CopyBlocks(WebDisplay& display, HANDLE source, HANDLE target, char* buffer, const char* sourcePath, const char* targetPath,
                Sha256Hasher* hash, uint64_t* written) {
  *written = 0;
  int frame = 0;
  for (;;) {
    DWORD got = 0;
    if (!ReadFile(source, buffer, kCopyBlockSize, &got, nullptr)) {
      ShowStoppableError(display, IDS_COPY_READ_ERR, sourcePath, targetPath);
      return false;
    }
    if (got == 0) return true;
    DWORD put = 0;
    if (!WriteFile(target, buffer, got, &put, nullptr) || put < got) {
      *written += put;
      if (hash != nullptr) hash->Update(buffer, put);  // what did reach the file
      ShowStoppableError(display, IDS_COPY_WRITE_ERR, sourcePath, targetPath);
      return false;
    }
    *written += put;
    if (hash != nullptr) hash->Update(buffer, put);
    if (got < kCopyBlockSize) return true;
    ShowProgressInFile(display, *written, frame++);
  }
}

// The size and SHA-256 the set's hash data gives a staged file.
struct KnownDigest {
  bool known = false;
  uint64_t size = 0;
  unsigned char sha256[kSha256Size] = {};
};

// The digest the verified list's [Hashes] gives the file of `line` (the list is the run's private copy of
// the bytes the download checked: see RunPaths::verifiedFolder), when the copy's source is the file the
// download staged under that name. A set without hash data gives none: nothing to compare with.
KnownDigest ExpectedDigestOf(const std::string& fileList, const char* line, int disc, const char* sourcePath) {
  KnownDigest d;
  if (!FitsPathBuffer(fileList)) return d;
  char name[kTextSize];
  if (!FormServerName(line, name, sizeof name) || name[0] == '\0') return d;
  if (SourcePathOf(g_state.paths.stagingFolder, disc, (std::string("\\") + name).c_str()) != sourcePath) return d;
  char value[kTextSize];
  GetPrivateProfileStringA(kHashSection, name, "", value, sizeof value, fileList.c_str());
  if (!ParseHashValue(value, strlen(value), &d.size, d.sha256)) return d;
  d.known = true;
  return d;
}

// Hashes the whole open source from its start and compares it with the set's digest; the handle is then
// back at the start for the copy. The source is held without write or delete sharing from this check to
// the end of its copy, so the bytes copied are the bytes checked.
bool SourceMatches(HANDLE source, const KnownDigest& expected, char* buffer) {
  LARGE_INTEGER start{};
  if (!SetFilePointerEx(source, start, nullptr, FILE_BEGIN)) return false;
  Sha256Hasher hash;
  for (;;) {
    DWORD got = 0;
    if (!ReadFile(source, buffer, kCopyBlockSize, &got, nullptr)) return false;
    if (got == 0) break;
    hash.Update(buffer, got);
    if (hash.bytes() > expected.size) return false;
  }
  std::string hex;
  return hash.bytes() == expected.size && hash.FinishHex(&hex) && hex == HexText(expected.sha256, kSha256Size) &&
         SetFilePointerEx(source, start, nullptr, FILE_BEGIN);
}

// The SHA-256 of the first `bytes` bytes of an open source (what a cut copy wrote of it).
bool HashSourcePrefix(HANDLE source, uint64_t bytes, char* buffer, std::string* sha256) {
  LARGE_INTEGER start{};
  if (!SetFilePointerEx(source, start, nullptr, FILE_BEGIN)) return false;
  Sha256Hasher hash;
  while (bytes > 0) {
    const DWORD want = bytes < kCopyBlockSize ? static_cast<DWORD>(bytes) : kCopyBlockSize;
    DWORD got = 0;
    if (!ReadFile(source, buffer, want, &got, nullptr) || got != want) return false;
    hash.Update(buffer, got);
    bytes -= got;
  }
  return hash.FinishHex(sha256);
}

// One file of a disc's list, as the copy sees it.
struct FileCopy {
  const char* sourcePath;       // in the staging folder
  bool sourceFits;              // the source path fits the path buffer (else it is not opened)
  const char* targetPath;       // where it is installed
  bool targetUsable;            // false: the target cannot be written (its path is too long, or no Windows
                                // folder is known)
  const std::string* fileList;  // the disc's verified file list
  const char* line;             // the file's line in it
  int disc;
  const char* policyTaken;      // how the replace policy was applied, for the file's log line
};

// Copies one file whose source and target paths are known. A target that is not usable: the source is
// still opened so that a missing source is reported as such, then the target is reported as not created.
void CopyOneFile(WebDisplay& display, const FileCopy& file, char* buffer) {
  const char* const sourcePath = file.sourcePath;
  const char* const targetPath = file.targetPath;
  display.ShowStatus(targetPath);

  ScopedFile source;
  if (file.sourceFits) {
    // Read sharing only: nobody may write, replace or delete the staged file while it is checked and copied.
    source.reset(CreateFileA(sourcePath, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                             FILE_ATTRIBUTE_NORMAL, nullptr));
  }
  if (!source) {
    // Cancel stops at once; OK skips the file without counting it.
    ShowStoppableError(display, IDS_OPEN_SOURCE_ERR, sourcePath);
    return;
  }
  // A set with hash data: the staged file must still be what the download checked, before anything of it
  // is written. Another user may have changed the staging folder since.
  const KnownDigest known = ExpectedDigestOf(*file.fileList, file.line, file.disc, sourcePath);
  if (known.known && !SourceMatches(source.get(), known, buffer)) {
    char name[kTextSize];
    FormServerName(file.line, name, sizeof name);
    LogEvent("file damaged: %s differs from the set's hash data since it was staged; the installation ends",
             sourcePath);
    ShowSetRefusal(display.owner(), g_state.process.caption, SetRefusal::kDamaged, name);
    g_damaged = true;
    g_stop = 1;
    return;
  }
  // The source is opened once: its times, size and data all come through this handle.
  FileTimes times{};
  const bool haveTimes = GetFileTime(source.get(), &times.created, &times.accessed, &times.written) != 0;
  const DWORD sourceSize = GetFileSize(source.get(), nullptr);

  ScopedFile target;
  bool created = false;  // nothing was at the target's place: the uninstaller may remove it anywhere
  if (file.targetUsable) {
    // Normal and temporary (0x180): always created anew, shared with nobody while it is written. A target
    // another program holds is waited for, then asked about.
    bool gaveUp = false;
    target = OpenUnlessHeld(display, targetPath, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL | FILE_ATTRIBUTE_TEMPORARY,
                            true, &gaveUp);
    created = target && GetLastError() != ERROR_ALREADY_EXISTS;
    if (gaveUp) {
      g_inUse = true;
      g_stop = 1;
      return;
    }
  }
  if (!target) {
    ShowStoppableError(display, IDS_CREATE_TARGET_ERR, targetPath);
    // The file still counts as done, so that the display keeps pace with the total.
    CountDone(sourceSize);
    ShowProgressAtFileEnd(display);
    return;
  }

  // What was written is what the uninstaller will find unchanged, a partial file after an error too:
  // the set's digest, checked above, or hashed as it is written when the set has none.
  Sha256Hasher hash;
  uint64_t written = 0;
  const bool whole = CopyBlocks(display, source.get(), target.get(), buffer, sourcePath, targetPath,
                                known.known ? nullptr : &hash, &written);
  if (haveTimes) SetFileTime(target.get(), &times.created, &times.accessed, &times.written);
  target.reset();
  // The temporary attribute lets the system keep the file in memory while it is written; an installed
  // file must not keep it (it marks the file as one to be deleted soon). A partial target keeps it.
  if (whole) ClearFileAttribute(targetPath, FILE_ATTRIBUTE_TEMPORARY);
  std::string sha256;
  bool hashed = false;
  if (!known.known) {
    hashed = hash.FinishHex(&sha256);
  } else if (whole && written == known.size) {
    sha256 = HexText(known.sha256, kSha256Size);
    hashed = true;
  } else {
    hashed = HashSourcePrefix(source.get(), written, buffer, &sha256);
  }
  if (hashed) RecordInstalledFile(targetPath, written, sha256, created);
  LogEvent(whole ? "file installed: %s (%lu bytes, from %s, %s%s)" : "file partly written: %s (%lu bytes, from %s, %s%s)",
           targetPath, static_cast<unsigned long>(written), sourcePath, file.policyTaken,
           known.known ? ", checked against the set's digest" : "");
  CountDone(sourceSize);
  ShowProgressAtFileEnd(display);
}

// One file line of the current disc: parse, check, then keep, ask or copy.
void HandleFileLine(WebDisplay& display, int disc, const char* line, char* buffer, const std::string& fileList) {
  FileEntry entry;
  const FileLineStatus status = ParseFileLine(line, &entry);
  if (status == FileLineStatus::kMalformed) {
    // No source or no target can be told apart: report the whole line and go on with the next one.
    ShowStoppableError(display, IDS_BAD_TARGET_CODE, line);
    return;
  }
  if (status == FileLineStatus::kBadModifier || status == FileLineStatus::kUnsafePath) {
    ShowStoppableError(display, IDS_BAD_TARGET_CODE, entry.targetCode);
  }
  if (status == FileLineStatus::kUnsafePath) return;  // reported above: never written out of its folder

  const std::string sourcePath = SourcePathOf(g_state.paths.stagingFolder, disc, entry.source);
  const std::string targetPath =
      TargetPathOf(entry, g_state.paths.rootFolder, g_state.process.windowsFolder);
  const TargetCheck check = CheckTarget(entry, g_state.process.windowsFolder, targetPath);
  if (check == TargetCheck::kOutsideBase) {
    // A bad modifier has been reported already; any other such line is reported here, once.
    if (status == FileLineStatus::kOk) ShowStoppableError(display, IDS_BAD_TARGET_CODE, entry.targetCode);
    return;
  }
  const bool targetUsable = check == TargetCheck::kOk;

  const char* policyTaken = entry.policy == ReplacePolicy::kReplace ? "policy replace"
                  : entry.policy == ReplacePolicy::kAsk  ? "policy *?, no file there"
                                                         : "policy *-, no file there";
  if (targetUsable && entry.policy != ReplacePolicy::kReplace) {
    ScopedFile existing(CreateFileA(targetPath.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
    if (existing) {
      bool keep = entry.policy == ReplacePolicy::kKeep;
      if (!keep) keep = ShowMessage(display.owner(), IDS_REPLACE_FILE, MB_YESNO | MB_ICONERROR, IDNO, targetPath.c_str()) != IDYES;
      policyTaken = "policy *?, answered Yes";
      if (keep) {
        LogEvent("file kept: %s exists (%s)", targetPath.c_str(),
                 entry.policy == ReplacePolicy::kKeep ? "policy *-" : "policy *?, answered No");
        CountDone(GetFileSize(existing.get(), nullptr));
        ShowProgressAtFileEnd(display);
        return;
      }
    }
  }
  const FileCopy file = {sourcePath.c_str(), FitsPathBuffer(sourcePath), targetPath.c_str(), targetUsable, &fileList,
                         line, disc, policyTaken};
  CopyOneFile(display, file, buffer);
}

// Reads one value of a staged description file (default "*", 256 bytes).
void ReadValue(const std::string& file, const char* section, const char* key, char* out) {
  if (!FitsPathBuffer(file)) {
    CopyText(out, kTextSize, kAbsentValue);
    return;
  }
  GetPrivateProfileStringA(section, key, kAbsentValue, out, kTextSize, file.c_str());
}

// One part's section of a staged file list, read with one platform call instead of one per entry (a
// 10,000-entry list costs seconds per-key under Wine). Answers exactly as ReadValue would; a section too
// large for the whole-section read falls back to per-key reads.
class StagedList {
 public:
  StagedList(const std::string& file, const char* section) : file_(file), section_(section) {
    std::vector<char> entries;
    if (FitsPathBuffer(file) && ReadProfileSection(file.c_str(), section, &entries)) {
      entries_.reset(new ProfileSection(std::move(entries)));
    }
  }

  void Read(const char* key, char* out) const {
    if (!entries_) {
      ReadValue(file_, section_, key, out);
    } else if (!entries_->Find(key, out, kTextSize)) {
      CopyText(out, kTextSize, kAbsentValue);
    }
  }

 private:
  std::string file_;
  const char* section_;
  std::unique_ptr<ProfileSection> entries_;  // null: read per key
};

bool DiscHasSelectedPart(int discIndex) {
  for (int p = 0; p < kPartCount; ++p) {
    if (g_state.choices.partSelected[p] && g_state.choices.discTable[discIndex].present[p]) return true;
  }
  return false;
}

// The label in a disc's file list equals the label Install.ini gives the disc.
bool DiscLabelMatches(const std::string& fileList, int discIndex) {
  char label[kTextSize];
  ReadValue(fileList, "Disc", "Name", label);
  return strcmp(label, g_state.choices.discTable[discIndex].label) == 0;
}

// Asks for the right disc until its file list carries the expected label. false: the user refused.
bool PromptForDisc(HWND owner, const std::string& fileList, int discIndex) {
  const char* expected = g_state.choices.discTable[discIndex].label;
  for (;;) {
    MessageBeep(0);
    if (ShowMessage(owner, IDS_INSERT_DISC, MB_OKCANCEL | MB_ICONINFORMATION, IDCANCEL, g_state.paths.stagingFolder, expected) !=
        IDOK) {
      return false;
    }
    if (DiscLabelMatches(fileList, discIndex)) return true;
    if (ShowMessage(owner, IDS_WRONG_DISC, MB_OKCANCEL | MB_ICONERROR, IDCANCEL, g_state.paths.stagingFolder, expected) != IDOK) {
      return false;
    }
  }
}


// The installed system still running from an earlier installation holds its program file: the user is asked
// to close it before anything is copied (Retry checks again; Cancel ends the run). 1: given up.
int AskToCloseRunningSystem(WebDisplay& display) {
  char folder[kTextSize];
  char program[kTextSize];
  if (!BuildProgramFilePaths(g_state.paths.programFolder, folder, sizeof folder, program, sizeof program)) {
    return 0;
  }
  bool gaveUp = false;
  // Opened for writing without changing it, only to see whether a running program holds it.
  ScopedFile probe = OpenUnlessHeld(display, program, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, false, &gaveUp);
  if (gaveUp) {
    g_inUse = true;
    return 1;
  }
  return 0;
}

// Copies the selected parts of disc discIndex (0..14). 1 when a copy error box was answered with Cancel, or
// a staged file differs from the set's hash data. The file lists are read from the run's verified copies
// (RunPaths::verifiedFolder); a file the list's [Hashes] names is checked against it before it is copied.
int CopyDiscFiles(WebDisplay& display, int discIndex);

}  // namespace

bool CopySelectedParts(WebDisplay& display) {
  g_stop = 0;
  g_damaged = false;
  g_inUse = false;
  if (AskToCloseRunningSystem(display) != 0) return false;
  for (int i = 0; i < kDiscCount; ++i) {
    if (!DiscHasSelectedPart(i)) continue;
    const std::string fileList = FileListPathOf(g_state.paths.verifiedFolder, i + 1);
    if (!DiscLabelMatches(fileList, i) && !PromptForDisc(display.owner(), fileList, i)) {
      // Sent, not posted: the dialog takes it as Cancel while this worker still runs, so the run always
      // reaches the cancelled end that waits for "Kilépés". Posted, it could arrive after the worker had
      // ended, and a Cancel then closed the dialog at once (which one happened depended on the load).
      display.AskCancel();
      return false;
    }
    if (CopyDiscFiles(display, i) != 0) return false;
  }
  return true;
}

namespace {

int CopyDiscFiles(WebDisplay& display, int discIndex) {
  LocalBuffer buffer(kCopyBlockSize);
  if (!buffer.p) {
    ShowMessage(display.owner(), IDS_NO_MEMORY, MB_OK | MB_ICONERROR, IDOK);
    return g_stop;
  }
  const int disc = discIndex + 1;
  const std::string fileList = FileListPathOf(g_state.paths.verifiedFolder, disc);
  for (int p = 0; p < kPartCount; ++p) {
    if (!g_state.choices.partSelected[p] || !g_state.choices.discTable[discIndex].present[p]) continue;
    const StagedList list(fileList, kPartNames[p]);
    for (int n = 1;; ++n) {
      char line[kTextSize];
      list.Read(NumberedKey("File", n).c_str(), line);
      if (IsAbsentValue(line)) break;
      HandleFileLine(display, disc, line, buffer.p, fileList);
      if (g_stop) return 1;
    }
  }
  return g_stop;
}

}  // namespace

bool CopyFoundDamagedFile() { return g_damaged; }

bool CopyFoundFileInUse() { return g_inUse; }

bool ClearFileAttribute(const char* path, DWORD attribute) {
  const DWORD attributes = GetFileAttributesA(path);
  if (attributes == INVALID_FILE_ATTRIBUTES) return false;
  if ((attributes & attribute) == 0) return true;
  const DWORD rest = attributes & ~attribute;
  // No attribute left is written as "normal", which is only valid alone.
  return SetFileAttributesA(path, rest != 0 ? rest : FILE_ATTRIBUTE_NORMAL) != FALSE;
}
