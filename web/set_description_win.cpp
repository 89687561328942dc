// Reading the remote description: Sign.ini and its trust, Install.ini checked against it and kept in
// the run's private folder, the root folder it names, and the sizes of the selected parts on each disc.
#include <cstring>
#include <string>

#include "base/install_log_win.h"
#include "base/message_box_win.h"
#include "base/private_folder_win.h"
#include "base/text.h"
#include "layout/description.h"
#include "layout/install_layout.h"
#include "layout/server_layout.h"
#include "state/install_state_win.h"
#include "web/disc_sizes.h"
#include "web/file_transfer_win.h"
#include "web/ini_lookup.h"
#include "web/remote_file_win.h"
#include "web/set_download_win.h"

namespace {

// "A telepítési könyvtár nem található a WEB-en!" (the installation folder cannot be found on the web)
const char kNoRootText[] =
    "A telep\xEDt\xE9si k\xF6nyvt\xE1r nem tal\xE1lhat\xF3 a WEB-en!";
const char kNoRootCaption[] = "QuarnCAD System Error!";

}  // namespace

bool DownloadRun::RefuseForeignSet(WebDisplay& display, const char* description, size_t size) {
  SYSTEMTIME now;
  GetSystemTime(&now);
  std::string detail;
  SetIdentity identity;
  IdentityVerdict verdict =
      verifier_.CheckIdentity(description, size, kSetFolder, now.wYear, now.wMonth, now.wDay, &detail, &identity);
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

void DownloadRun::TakeMirrorList() {
  mirrors_.Use(verifier_.Mirrors());
  switch (verifier_.MirrorListData()) {
    case MirrorData::kAbsent:
      return;  // as before: no line, every file from the origin
    case MirrorData::kMalformed:
      LogEvent("mirrors: none used (%s)", verifier_.MirrorProblem().c_str());
      return;
    case MirrorData::kPresent:
      break;
  }
  if (verifier_.Mirrors().empty()) {
    LogEvent("mirrors: none used (the list is empty, or its Sign.ini was not used)");
    return;
  }
  LogEvent("mirrors: %u listed in the signed part of Sign.ini, asked only for files with hash data%s",
           static_cast<unsigned>(verifier_.Mirrors().size()),
           verifier_.Keyed() ? "" : " (no key in this build: the hashes come from the origin)");
  for (size_t i = 0; i < verifier_.Mirrors().size(); ++i) {
    LogEvent("mirror %u: %s", static_cast<unsigned>(i + 1), verifier_.Mirrors()[i].url.c_str());
  }
}

int DownloadRun::ReadRemoteDescription(WebDisplay& display) {
  // Sign.ini before the description: a set refused here has nothing staged. A server without one
  // serves an unsigned (or old) set.
  verifier_.Reset(policy_);
  mirrors_.Use({});
  refused_ = false;
  failedDescription_[0] = '\0';
  // Sign.ini gets the retries a list gets: a busy or cut answer is tried again, and one that never
  // comes is a failed file, never a set without Sign.ini (that would drop the signature's check).
  WholeFile sign;
  ListFetch signFetched = FetchSetText(display, "Disc_01", kSignFileName, &sign);
  if (signFetched == ListFetch::kFailed) {
    CopyText(failedDescription_, sizeof failedDescription_, kSignFileName);
    LogEvent("description: %s could not be downloaded", kSignFileName);
    return 1;
  }
  bool signFound = signFetched == ListFetch::kArrived;
  SetTrust trust = verifier_.AcceptSignFile(signFound, sign.text.get(), signFound ? static_cast<size_t>(sign.size) : 0,
                                             g_state.download.httpsMode != 0);
  LogEvent("set trust: %s (%s)", trust == SetTrust::kSigned ? "signed" : trust == SetTrust::kUnsigned ? "unsigned" : "refused",
           verifier_.TrustReason());
  if (trust == SetTrust::kRefused) {
    mirrors_.Use({});
    RefuseSet(display, SetRefusal::kBadSignature, nullptr);
    return 1;
  }
  TakeMirrorList();

  // Install.ini gets one attempt: a description that does not come whole ends the run.
  WholeFile description;
  char url[kTextSize];
  if (!BuildServerUrl("Disc_01", "Install.ini", url, sizeof url) ||
      FetchWholeFile(url, &description).fault != TransferFault::kNone || description.closeFailed) {
    g_state.flags.cancelRequested = 1;
    return 1;
  }
  const char* text = description.text.get();
  int size = description.size;
  SetVerifier::Description checked =
      verifier_.CheckDescription("Install.ini", text, static_cast<size_t>(size));
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

  // What each disc holds of the selected parts, and the total the progress display counts to.
  if (g_state.flags.cancelRequested.load() != 0) return 1;
  ReadDiscSizes(text, size, g_state.download.downloadSelected, &g_state.download.remote);
  return 0;
}
