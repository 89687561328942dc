// Reading the remote description and downloading the set into the staging folder.
//
// What it shows (the file in the status field, the percentage, the bar, an activity frame per chunk)
// and the owner of its boxes come from the display it is given; a display without a dialog shows
// nothing and everything runs the same.
#pragma once
#include <windows.h>

#include <cstddef>

#include "base/sizes.h"
#include "ui/web_display_win.h"
#include "web/set_hashes.h"

// 0 on success: rootName, the program folder, the disc records and overallTotal are set. 1 on failure,
// and then cancelRequested is set, except when a file read before the description did not come after
// its attempts: FailedDescriptionFile() then names it (the caller ends the run as for a failed file).
int ReadRemoteDescription(WebDisplay& display);
// "" or the file of the last ReadRemoteDescription that could not be downloaded (Sign.ini).
const char* FailedDescriptionFile();

// How the download phase ended.
enum class DownloadEnd {
  kComplete,    // every disc up to disc 15 or the first disc without a file list on the server, or the
                // first disc whose staging folder could not be made (logged; the installation goes on)
  kCancelled,   // Cancel was pressed
  kNoSpace,     // the free-space check refused the set before any request for it (its box was shown)
  kRefused,     // the set was refused for its hash data or signature (its box was shown)
  kFileFailed,  // a file of the set could not be fetched whole and staged: failedFile names it
};

struct DownloadOutcome {
  DownloadEnd end = DownloadEnd::kComplete;
  char failedFile[kTextSize] = "";  // kFileFailed: the file as the server names it (its disc's list)
};

// Stages the lists and files of every disc, in order, until disc 15 or the first disc without a file
// list on the server (the normal end). A file that fails ends the phase at once; nothing after it is
// fetched, and its disc's list is not staged. Sets cancelRequested for kNoSpace and kRefused; a failed
// file leaves the flag alone (the caller ends the run).
DownloadOutcome DownloadInstallationSet(WebDisplay& display);

// 0 on success, 1 when the file failed (then no partial file is left under its staging name).
// True when this run's set was refused for its hash data or signature (a damaged file, a signature that
// does not hold or is missing in a build with a key, a signed identity that does not fit); cancelRequested
// is then set.
bool SetWasRefused();

// A transient fault is retried (web/retry_policy.h), continuing with a guarded range request
// (web/range_resume.h). With expected, a file an earlier run staged with that size and SHA-256 is kept
// and nothing is requested; a fetched file must have them (checked whole once it arrived), else it
// fails, is deleted and *damaged (when given) is set.
int DownloadFile(WebDisplay& display, const char* discFolder, const char* fileName, int countProgress,
                 const HashEntry* expected = nullptr, bool* damaged = nullptr);

// Counts bytes as downloaded and shows the bar and the percentage of the whole.
void AdvanceProgress(WebDisplay& display, DWORD bytes);

// The URL of a set file in the current mode, and its staging path (fileName nullptr: the disc folder).
// false when the text does not fit into the buffer (nothing must be fetched or written then).
bool BuildServerUrl(const char* discFolder, const char* fileName, char* url, size_t urlSize);
bool BuildStagingPath(const char* discFolder, const char* fileName, char* path, size_t pathSize);

// The transfer buffer: every file streams through one buffer of this size.
constexpr DWORD kTransferBufferSize = 512000;
