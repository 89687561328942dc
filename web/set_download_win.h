// One run's download: reading the remote description and staging the set, disc by disc. The worker makes
// one DownloadRun per run with the program's set policy; everything the run learns on the way (the
// checks of its Sign.ini and lists, whether the set was refused, the file that did not come) is held by
// it and ends with it. The description is read by web/set_description_win.cpp, each file is fetched by
// web/file_transfer_win.h (one transfer object per file), the disc loop is web/set_download_win.cpp.
//
// What it shows (the file in the status field, the percentage, the bar, an activity frame per chunk)
// and the owner of its boxes come from the display it is given; a display without a dialog shows
// nothing and everything runs the same.
#pragma once
#include <windows.h>

#include <cstddef>

#include "base/sizes.h"
#include "ui/set_refusal_win.h"
#include "ui/web_display_win.h"
#include "web/mirror_pool_win.h"
#include "web/set_verify_win.h"

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

class DownloadRun {
 public:
  // policy: the build's keys and lowest sequence (app/set_policy_win.h's kSetPolicy for the program).
  explicit DownloadRun(const SetPolicy& policy);
  DownloadRun(const DownloadRun&) = delete;
  DownloadRun& operator=(const DownloadRun&) = delete;

  // 0 on success: rootName, the program folder, the disc records and overallTotal are set. 1 on failure,
  // and then cancelRequested is set, except when a file read before the description did not come after
  // its attempts: FailedDescriptionFile() then names it (the caller ends the run as for a failed file).
  // Begins the run's checks afresh: a second call forgets what the first learnt.
  int ReadRemoteDescription(WebDisplay& display);
  // "" or the file of the last ReadRemoteDescription that could not be downloaded (Sign.ini).
  const char* FailedDescriptionFile() const { return failedDescription_; }

  // Stages the lists and files of every disc, in order, until disc 15 or the first disc without a file
  // list on the server (the normal end), checked against what ReadRemoteDescription accepted. A file that
  // fails ends the phase at once; nothing after it is fetched, and its disc's list is not staged. Sets
  // cancelRequested for kNoSpace and kRefused; a failed file leaves the flag alone (the caller ends the
  // run).
  DownloadOutcome DownloadInstallationSet(WebDisplay& display);

  // True when this run's set was refused for its hash data or signature (a damaged file, a signature that
  // does not hold or is missing in a build with a key, a signed identity that does not fit);
  // cancelRequested is then set.
  bool SetWasRefused() const { return refused_; }

 private:
  // Shows the refusal's box and ends the run interrupted (nothing is copied, recorded or started).
  void RefuseSet(WebDisplay& display, SetRefusal why, const char* fileName);
  // The identity check of a signed set against the verified Install.ini: true when refused (box shown).
  bool RefuseForeignSet(WebDisplay& display, const char* description, size_t size);
  DownloadOutcome Refused(WebDisplay& display, SetRefusal why, const char* fileName);
  // Hands the mirrors of the accepted Sign.ini to the pool and logs them (or why none are used).
  void TakeMirrorList();

  SetPolicy policy_;
  SetVerifier verifier_;  // the checks of this run's set (Sign.ini, the lists' [Hashes])
  MirrorPool mirrors_;    // the mirrors the run's Sign.ini lists, and their faults (shared by transfers)
  bool refused_ = false;
  // A file read before the description (Sign.ini) that did not come after its attempts.
  char failedDescription_[kTextSize] = "";
};

// Keeps the bytes of Install.ini or a file list, as they arrived and were checked, in the run's private
// folder (made at the first call): every later step reads them from there, never again from the staging
// folder, which other users may write. False: nothing can be installed from them.
bool KeepVerifiedCopy(const char* discFolder, const char* fileName, const char* data, int size);
