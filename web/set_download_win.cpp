// The disc loop of one run's download: per disc its list (checked against Sign.ini, kept in the run's
// private folder), every file the list names for the selected parts, and the list staged last.
#include "web/set_download_win.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "base/install_log_win.h"
#include "base/private_folder_win.h"
#include "base/scoped_handle_win.h"
#include "base/text.h"
#include "layout/description.h"
#include "layout/install_layout.h"
#include "layout/server_layout.h"
#include "state/install_state_win.h"
#include "web/fetch_queue.h"
#include "web/file_transfer_win.h"
#include "web/ini_index.h"
#include "web/remote_file_win.h"
#include "web/space_check_win.h"

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


// One file a disc's list names for the selected parts.
struct DiscFile {
  std::string name;                    // as the server names it
  const HashEntry* expected = nullptr;  // the list's hash data for it, or none
};

struct BatchEnd {
  bool cancelled = false;
  const DiscFile* failed = nullptr;  // the first file that did not stage, or none
  FetchEnd end = FetchEnd::kStaged;
};

// What the transfers of one disc share: the files, the queue that hands them out and how each is staged.
struct DiscBatch {
  WebDisplay* display;
  const FileToStage* common;  // the disc's folder and what its staging folder held
  const DiscFile* files;      // the batch's files, handed out by index
  FetchQueue* queue;
};

// One transfer's loop: the next file until none is left, one failed, or Cancel was pressed (then no new
// file is requested; the one in flight ends within the transfer's own bounds).
void RunTransfers(DiscBatch* batch) {
  size_t index = 0;
  for (;;) {
    if (g_state.flags.cancelRequested.load() != 0) batch->queue->Stop();
    if (!batch->queue->Take(&index)) return;
    FileToStage file = *batch->common;
    file.fileName = batch->files[index].name.c_str();
    file.expected = batch->files[index].expected;
    file.countProgress = true;
    const FileResult result = TransferSetFile(*batch->display, file);
    batch->queue->Finish(index, result == FileResult::kStaged   ? FetchEnd::kStaged
                                : result == FileResult::kDamaged ? FetchEnd::kDamaged
                                                                 : FetchEnd::kFailed);
  }
}

DWORD WINAPI TransferThread(LPVOID parameter) {
  RunTransfers(static_cast<DiscBatch*>(parameter));
  return 0;
}

// Stages a batch of a disc's files with up to `transfers` of them in flight at once, each on its own
// connection and with its own buffers; with one, strictly one after the other in the list's order. This
// thread runs one of the transfers itself; the others run on threads of their own, made for the batch (a
// thread that cannot be made leaves its share to the others).
BatchEnd FetchFiles(WebDisplay& display, const FileToStage& common, const DiscFile* files, size_t count,
                    int transfers) {
  FetchQueue queue(count);
  DiscBatch batch{&display, &common, files, &queue};
  std::vector<ScopedKernelHandle> threads;
  for (int i = 1; i < transfers; ++i) {
    ScopedKernelHandle thread(CreateThread(nullptr, 0, TransferThread, &batch, 0, nullptr));
    if (!thread) {
      LogEvent("download: a transfer thread could not be made (error %lu); %d transfers at once", GetLastError(), i);
      break;
    }
    threads.push_back(std::move(thread));
  }
  if (transfers > 1) {
    LogEvent("download: %d files, %d in flight at once", static_cast<int>(count), static_cast<int>(threads.size()) + 1);
  }
  RunTransfers(&batch);
  for (const ScopedKernelHandle& thread : threads) WaitForSingleObject(thread.get(), INFINITE);

  BatchEnd end;
  if (queue.Failed()) {
    end.failed = &files[queue.FailedIndex()];
    end.end = queue.FailedEnd();
  } else if (!queue.Complete()) {
    end.cancelled = true;  // stopped by Cancel before every file was handed out
  }
  return end;
}
}  // namespace

DownloadRun::DownloadRun(const SetPolicy& policy) : policy_(policy) { verifier_.Reset(policy_); }

// A damaged file or a refused set ends the run: the box says why, then the run ends interrupted (nothing
// is copied, recorded or started). What was staged stays; a damaged file itself is already deleted.
void DownloadRun::RefuseSet(WebDisplay& display, SetRefusal why, const char* fileName) {
  ShowSetRefusal(display.owner(), g_state.process.caption, why, fileName);
  refused_ = true;
  g_state.flags.cancelRequested = 1;
}

DownloadOutcome DownloadRun::Refused(WebDisplay& display, SetRefusal why, const char* fileName) {
  RefuseSet(display, why, fileName);
  return Ended(DownloadEnd::kRefused);
}

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

DownloadOutcome DownloadRun::DownloadInstallationSet(WebDisplay& display) {
  // A drive without room for the set ends the run before anything is fetched.
  if (!CheckFreeSpace(display.owner())) {
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
    ListFetch fetched = FetchSetText(display, discFolder, listName, &list);
    if (fetched == ListFetch::kFailed) return FileFailed(listName);
    if (fetched == ListFetch::kAbsent) {
      // A list that Sign.ini names is part of the set: without it the set is cut short.
      if (verifier_.Names(listName)) return Refused(display, SetRefusal::kDamaged, listName);
      return Ended(DownloadEnd::kComplete);
    }
    // The list against Sign.ini before any file it names is fetched. A list Sign.ini does not name
    // lies past the end of the set: the set ends here, as at a missing list.
    SetVerifier::Description checked =
        verifier_.CheckDescription(listName, list.text.get(), static_cast<size_t>(list.size));
    if (checked == SetVerifier::Description::kNotInSet) return Ended(DownloadEnd::kComplete);
    if (checked == SetVerifier::Description::kDamaged ||
        !verifier_.UseListHashes(list.text.get(), static_cast<size_t>(list.size))) {
      return Refused(display, SetRefusal::kDamaged, listName);
    }
    if (!KeepVerifiedCopy(discFolder, listName, list.text.get(), list.size)) return FileFailed(listName);

    // Every File%i of every part is looked up in this list: the index answers each lookup exactly as
    // FindIniValue would, without rescanning the list from its start every time.
    IniIndex listIndex(list.text.get(), list.size);
    const StagedNames stagedBefore(path);  // `path`: the disc's staging folder, made above
    FileToStage file;
    file.discFolder = discFolder;
    file.stagedBefore = &stagedBefore;
    file.mirrors = &mirrors_;
    // Every file the list names for the selected parts, in the list's order, up to the first one its
    // hash data does not name (refused once the files before it are staged, as when fetched in turn).
    std::vector<DiscFile> files;
    const char* unhashed = nullptr;
    char unhashedName[kTextSize] = "";
    for (int part = 0; part < kPartCount && unhashed == nullptr; ++part) {
      if (!g_state.download.remote.discs[disc - 1].present[part]) continue;
      for (int n = 1;; ++n) {
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
        if (verifier_.ExpectFile(serverName, &expected) == SetVerifier::Expect::kMissing) {
          CopyText(unhashedName, sizeof unhashedName, serverName);
          unhashed = unhashedName;
          break;
        }
        files.push_back(DiscFile{serverName, expected});
      }
    }
    if (g_state.flags.cancelRequested.load() != 0) return cancelled;
    std::vector<uint64_t> sizes;
    for (const DiscFile& f : files) sizes.push_back(f.expected != nullptr ? f.expected->size : 0);
    for (const FetchBatch& part : PlanBatches(sizes, verifier_.ListHashed())) {
      if (g_state.flags.cancelRequested.load() != 0) return cancelled;
      const BatchEnd batch =
          FetchFiles(display, file, files.data() + part.begin, part.end - part.begin, part.transfers);
      if (batch.cancelled) return cancelled;
      if (batch.failed != nullptr) {
        if (batch.end == FetchEnd::kDamaged) return Refused(display, SetRefusal::kDamaged, batch.failed->name.c_str());
        return FileFailed(batch.failed->name.c_str());
      }
    }
    // A Cancel pressed while the last files arrived ends the run before anything else is fetched.
    if (g_state.flags.cancelRequested.load() != 0) return cancelled;
    if (unhashed != nullptr) return Refused(display, SetRefusal::kDamaged, unhashed);
    // Every file of each part is staged and matched the list's hash data: the copy step may take the
    // list's digests for them instead of hashing them again.
    for (int part = 0; part < kPartCount; ++part) {
      if (!g_state.download.remote.discs[disc - 1].present[part]) continue;
      g_state.download.remote.discs[disc - 1].checked[part] = verifier_.ListHashed() ? 1 : 0;
    }
    // Install.ini once more, now into the staging folder; the display counted it already.
    if (disc == 1) {
      const HashEntry* expected = nullptr;
      verifier_.ExpectDescription(&expected);
      file.fileName = "Install.ini";
      file.countProgress = false;
      file.expected = expected;
      const FileResult result = TransferSetFile(display, file);
      if (result == FileResult::kDamaged) return Refused(display, SetRefusal::kDamaged, "Install.ini");
      if (result == FileResult::kFailed) return FileFailed("Install.ini");
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

