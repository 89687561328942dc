#include "web/set_download_win.h"

#include <commctrl.h>
#include <wininet.h>

#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>

#include "state/install_state_win.h"
#include "base/install_log_win.h"
#include "base/message_box_win.h"
#include "base/scoped_handle_win.h"
#include "base/text.h"
#include "layout/description.h"
#include "res/resource.h"
#include "web/filler.h"
#include "web/ini_index.h"
#include "web/ini_lookup.h"
#include "ui/progress_text.h"
#include "web/remote_file_win.h"
#include "web/server_layout.h"
#include "web/session_win.h"
#include "web/set_crypto_win.h"
#include "web/set_verify_win.h"

namespace {

// "A telepítési könyvtár nem található a WEB-en!" (the installation folder cannot be found on the web)
const char kNoRootText[] =
    "A telep\xEDt\xE9si k\xF6nyvt\xE1r nem tal\xE1lhat\xF3 a WEB-en!";
const char kNoRootCaption[] = "QuarnCAD System Error!";

void ShowField(int id, const char* text) {
  if (g_state.windows.webDialog != nullptr) SetDlgItemTextA(g_state.windows.webDialog, id, text);
}

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
  HINTERNET request = nullptr;
  DWORD length = 0;
  if (OpenRemoteTextFile(url, &request, &length) != 0) return FetchResult::kOpenFailed;
  file->text.reset(new (std::nothrow) char[length]);
  bool readOk = file->text && ReadRemoteFile(request, file->text.get(), length) == 0;
  bool closeOk = InternetCloseHandle(request) != FALSE;
  if (!readOk) return FetchResult::kReadFailed;
  file->size = static_cast<int>(length);
  return closeOk ? FetchResult::kOk : FetchResult::kCloseFailed;
}

// The checks of this run's set (Sign.ini, the lists' [Hashes]); reset by ReadRemoteDescription.
SetVerifier g_verifier;
bool g_refused = false;

// A damaged file or a refused set ends the run: the box says why, then the run ends interrupted (nothing
// is copied, recorded or started). What was staged stays; a damaged file itself is already deleted.
void RefuseSet(SetRefusal why, const char* fileName) {
  ShowSetRefusal(g_state.windows.webDialog, g_state.process.caption, why, fileName);
  g_refused = true;
  g_state.flags.cancelRequested = 1;
}

// The root folder is one folder directly below the drive's top folder. A value that would climb out of
// it, name a drive or hold a separator is not a root name: it is treated as absent.
bool IsRootName(const char* value) {
  return value[0] != '*' && IsSafeServerName(value) && strchr(value, '\\') == nullptr;
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

void ShowStatus(const char* discFolder, const char* fileName) {
  char status[kTextSize];
  CopyText(status, sizeof status, g_state.download.httpsMode ? "https://... .../" : "http://... .../");
  AppendText(status, sizeof status, kSetFolder);
  AppendText(status, sizeof status, "/");
  AppendText(status, sizeof status, discFolder);
  AppendText(status, sizeof status, "/");
  AppendText(status, sizeof status, fileName);
  ShowField(IDC_WEB_STATUS, status);
}

// One chunk: reads until the buffer is full or the file ends. WinINet hands out what has arrived so far
// (a few kilobytes at a time over a fast link), and every chunk costs a write and a display update.
bool ReadChunk(HINTERNET request, char* buffer, DWORD size, DWORD* got) {
  *got = 0;
  while (*got < size) {
    DWORD n = 0;
    if (!InternetReadFile(request, buffer + *got, size - *got, &n)) return false;
    if (n == 0) break;
    *got += n;
  }
  return true;
}

// Streams an opened request into the staging file. Returns true when every byte the server announced
// arrived and was written.
// With an expected hash entry, the kept bytes are hashed as they are written; a size or digest that
// differs sets *damaged and fails the file.
bool StreamToFile(HINTERNET request, DWORD announced, HANDLE file, bool filler, bool countProgress,
                  const HashEntry* expected, bool* damaged) {
  std::unique_ptr<char[]> buffer(new (std::nothrow) char[kTransferBufferSize]);
  if (!buffer) return false;
  Sha256Hasher hasher;
  FillerDecoder decoder;
  uint64_t received = 0;
  for (int chunk = 1;; ++chunk) {
    DWORD got = 0;
    if (!ReadChunk(request, buffer.get(), kTransferBufferSize, &got)) return false;
    if (got == 0) break;
    received += got;
    DWORD keep = filler ? static_cast<DWORD>(decoder.Decode(buffer.get(), got, buffer.get())) : got;
    DWORD written = 0;
    if (!WriteFile(file, buffer.get(), keep, &written, nullptr) || written != keep) return false;
    if (expected != nullptr && !hasher.Update(buffer.get(), keep)) return false;
    if (countProgress) AdvanceProgress(written);
    if (chunk >= 2) ShowField(IDC_WEB_ACTIVITY, ActivityFrame(chunk - 2));
  }
  // A connection that ends early looks like the end of the file to the reader; only the announced
  // length tells a cut file from a whole one.
  if (received != announced) return false;
  if (expected != nullptr) {
    unsigned char digest[kSha256Size];
    uint64_t size = hasher.bytes();
    if (!hasher.Finish(digest)) return false;
    if (size != expected->size || memcmp(digest, expected->sha256, kSha256Size) != 0) {
      *damaged = true;
      return false;
    }
  }
  return true;
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

int ReadRemoteDescription() {
  // Sign.ini before the description: a set refused here has nothing staged. A server without one
  // serves an unsigned (or old) set.
  g_verifier.Reset(kSetPolicy);
  g_refused = false;
  WholeFile sign;
  FetchResult signFetched = FetchWholeFile("Disc_01", kSignFileName, &sign);
  if (signFetched == FetchResult::kReadFailed || signFetched == FetchResult::kCloseFailed) {
    g_state.flags.cancelRequested = 1;
    return 1;
  }
  bool signFound = signFetched == FetchResult::kOk;
  SetTrust trust = g_verifier.AcceptSignFile(signFound, sign.text.get(), signFound ? static_cast<size_t>(sign.size) : 0,
                                             g_state.download.httpsMode != 0);
  if (trust == SetTrust::kRefused) {
    RefuseSet(signFound ? SetRefusal::kBadSignature : SetRefusal::kUnsignedOverHttp, nullptr);
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
    RefuseSet(SetRefusal::kDamaged, "Install.ini");
    return 1;
  }

  char root[kTextSize];
  FindIniValue("System", "RootDirectory", root, sizeof root, text, size);
  // The program folder (drive + root + "\QuarnWin32\") must leave room for the staging paths below it.
  char programFolder[kTextSize];
  CopyText(programFolder, sizeof programFolder, g_state.paths.programFolder);
  bool fits = AppendText(programFolder, sizeof programFolder, root) &&
              AppendText(programFolder, sizeof programFolder, "\\QuarnWin32\\");
  // The staging folder and the longest name the run itself puts there (disc 15's list) must fit too: a
  // root that leaves no room ends the run here, before anything is written (its empty staging path once
  // put the whole set below the current folder).
  char stagingFolder[kTextSize];
  char longest[kTextSize];
  fits = fits && CopyText(stagingFolder, sizeof stagingFolder, programFolder) &&
         AppendText(stagingFolder, sizeof stagingFolder, "Install\\") &&
         FormStagingPath(stagingFolder, "Disc_15", "Fajls_15.ini", longest, sizeof longest);
  if (!IsRootName(root) || !fits) {
    // Owned by the web dialog, as the copy engine's boxes are: this runs on the worker thread, which has
    // no focus window, and a box without an owner can fall behind the dialog.
    ShowBox(g_state.windows.webDialog, kNoRootText, kNoRootCaption, MB_ICONERROR | MB_OK, IDOK);
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

void DownloadInstallationSet() {
  for (int disc = 1; disc <= kDiscCount; ++disc) {
    if (g_state.flags.cancelRequested.load() != 0) return;
    char discFolder[16];
    char listName[32];
    char path[kTextSize];
    FormDiscFolder(disc, discFolder, sizeof discFolder);
    FormFileListName(disc, listName, sizeof listName);
    if (!BuildStagingPath(discFolder, nullptr, path, sizeof path)) return;
    if (!CreateDirectoryA(path, nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) return;

    // The first disc number without a list on the server ends the set.
    WholeFile list;
    FetchResult fetched = FetchWholeFile(discFolder, listName, &list);
    if (fetched == FetchResult::kOpenFailed || fetched == FetchResult::kReadFailed) {
      // A list that Sign.ini names is part of the set: without it the set is cut short.
      if (g_verifier.Names(listName)) RefuseSet(SetRefusal::kDamaged, listName);
      return;
    }
    // The list against Sign.ini before any file it names is fetched. A list Sign.ini does not name
    // lies past the end of the set: the set ends here, as at a missing list.
    SetVerifier::Description checked =
        g_verifier.CheckDescription(listName, list.text.get(), static_cast<size_t>(list.size));
    if (checked == SetVerifier::Description::kNotInSet) return;
    if (checked == SetVerifier::Description::kDamaged ||
        !g_verifier.UseListHashes(list.text.get(), static_cast<size_t>(list.size))) {
      RefuseSet(SetRefusal::kDamaged, listName);
      return;
    }

    // Every File%i of every part is looked up in this list: the index answers each lookup exactly as
    // FindIniValue would, without rescanning the list from its start every time.
    IniIndex listIndex(list.text.get(), list.size);
    for (int part = 0; part < kPartCount; ++part) {
      if (!g_state.download.remote.discs[disc - 1].present[part]) continue;
      if (g_state.flags.cancelRequested.load() != 0) return;
      for (int n = 1;; ++n) {
        if (g_state.flags.cancelRequested.load() != 0) return;
        char key[16];
        char line[kTextSize];
        snprintf(key, sizeof key, "File%i", n);
        listIndex.Find(kPartNames[part], key, line, sizeof line);
        if (line[0] == '*') break;
        char serverName[kTextSize];
        FormServerName(line, serverName, sizeof serverName);
        const HashEntry* expected = nullptr;
        if (g_verifier.ExpectFile(serverName, &expected) == SetVerifier::Expect::kMissing) {
          RefuseSet(SetRefusal::kDamaged, serverName);
          return;
        }
        bool damaged = false;
        if (DownloadFile(discFolder, serverName, 1, expected, &damaged) != 0) {
          if (damaged) RefuseSet(SetRefusal::kDamaged, serverName);
          return;
        }
      }
    }
    // Install.ini once more, now into the staging folder; the display counted it already.
    if (disc == 1) {
      const HashEntry* expected = nullptr;
      bool damaged = false;
      g_verifier.ExpectDescription(&expected);
      if (DownloadFile(discFolder, "Install.ini", 0, expected, &damaged) != 0) {
        if (damaged) RefuseSet(SetRefusal::kDamaged, "Install.ini");
        return;
      }
    }

    // The list last: a staged list means its disc arrived whole.
    if (!BuildStagingPath(discFolder, listName, path, sizeof path)) return;
    ScopedFile out(CreateFileA(path, GENERIC_WRITE, FILE_SHARE_WRITE, nullptr, CREATE_ALWAYS,
                               FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!out) return;
    DWORD written = 0;
    if (!WriteFile(out.get(), list.text.get(), static_cast<DWORD>(list.size), &written, nullptr) ||
        written != static_cast<DWORD>(list.size)) {
      return;
    }
  }
}

int DownloadFile(const char* discFolder, const char* fileName, int countProgress, const HashEntry* expected,
                 bool* damaged) {
  bool isDamaged = false;
  ShowStatus(discFolder, fileName);
  // A name from the server's list must not lead out of the disc folder (..\, a drive, \\server\).
  if (!IsSafeServerName(fileName)) {
    LogEvent("file refused: server name \"%s\" leaves its disc folder", fileName);
    return 1;
  }
  bool filler = IsFillerName(fileName);

  char url[kTextSize];
  char path[kTextSize];
  if (!BuildServerUrl(discFolder, fileName, url, sizeof url)) return 1;
  if (!BuildStagingPath(discFolder, fileName, path, sizeof path)) return 1;
  HINTERNET request = nullptr;
  DWORD announced = 0;
  if (OpenRemoteFile(url, &request, &announced) != 0) {
    LogEvent("file failed: %s from %s (see the request above)", fileName, url);
    return 1;
  }

  bool ok = false;
  bool created = false;
  if (CreateSubfolders(discFolder, fileName)) {
    ScopedFile file(CreateFileA(path, GENERIC_WRITE, FILE_SHARE_WRITE, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    created = file.valid();
    if (created) ok = StreamToFile(request, announced, file.get(), filler, countProgress != 0, expected, &isDamaged);
    if (created && !file.reset()) ok = false;
  }
  ShowField(IDC_WEB_ACTIVITY, "");
  if (!InternetCloseHandle(request)) ok = false;
  // A cut or damaged file must not pass for a whole one: the copy step then meets it as missing.
  if (!ok && created) DeleteFileA(path);
  if (ok) {
    LogEvent("file staged: %s (%lu bytes)", path, static_cast<unsigned long>(announced));
  } else {
    LogEvent("file failed: %s from %s (%s)", fileName, url,
             isDamaged ? "damaged: size or SHA-256 differs from the set's hash data"
                       : (created ? "transfer cut or short" : "not created"));
  }
  if (damaged != nullptr) *damaged = isDamaged;
  return ok ? 0 : 1;
}

void AdvanceProgress(DWORD bytes) {
  RemoteDescription& remote = g_state.download.remote;
  // Wraps like the 32-bit counter it is instead of overflowing a signed value.
  remote.bytesDone = static_cast<int32_t>(static_cast<uint32_t>(remote.bytesDone) + bytes);
  double ratio = ProgressRatio(remote.bytesDone, remote.overallTotal);
  if (g_state.windows.progressBar != nullptr) {
    SendMessageA(g_state.windows.progressBar, PBM_SETPOS, static_cast<WPARAM>(ProgressPosition(ratio)), 0);
  }
  char percent[32];
  FormatPercent(ratio, percent, sizeof percent);
  ShowField(IDC_WEB_PERCENT, percent);
}
