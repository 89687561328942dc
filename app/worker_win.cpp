// The worker thread: the installation in its fixed order. It shows every phase through the dialog's
// display (ui/web_display_win.h), made once from the dialog handle the thread is started with and handed
// to the steps that show something. A write there is queued for the dialog's thread without a wait; the
// clips, the ends and every box the dialog owns wait until the writes before them are applied (the
// dialog keeps pumping and never waits for the worker), and so does the display's end with the worker's.
#include "app/worker_win.h"

#include <cstring>

#include "state/install_state_win.h"
#include "app/run_end_win.h"
#include "base/install_log_win.h"
#include "base/resource_text_win.h"
#include "res/resource.h"
#include "base/message_box_win.h"
#include "app/set_policy_win.h"
#include "app/worker_texts.h"
#include "build_config.h"
#include "install/copy_engine_win.h"
#include "install/description_win.h"
#include "install/directories_win.h"
#include "install/file_types_win.h"
#include "install/fonts_win.h"
#include "install/registry_win.h"
#include "install/shortcut_win.h"
#include "install/uninstall_record_win.h"
#include "install/uninstall_save_win.h"
#include "layout/description.h"
#include "layout/install_layout.h"
#include "ui/web_display_win.h"
#include "web/network_texts.h"
#include "web/session_win.h"
#include "web/set_verify_win.h"
#include "web/set_download_win.h"
#include "web/remote_file_win.h"

namespace {

bool Cancelled() { return g_state.flags.cancelRequested != 0; }

// Set once the copy step has begun: from then on files may have been written, and every end leaves the
// uninstall list of what was made.
bool g_copyBegan = false;

// The end of every run that leaves the dialog open: workerRunning is cleared before the button is
// enabled, so that a press of "Kilépés" always finds the worker done and closes the dialog.
DWORD EndWithExitButton(WebDisplay& display) {
  display.StopClip();
  g_state.flags.workerRunning = 0;
  display.ShowExitButton(kButtonExit);
  return 0;
}

DWORD EndCancelled(WebDisplay& display, ExitCode code = ExitCode::kCancelled) {
  if (g_copyBegan) SaveUninstallRecord();
  ReportRunEnd(code);
  display.ShowTitle(kTitleCancelled);
  return EndWithExitButton(display);
}

DWORD EndNoConnection(WebDisplay& display) {
  // A Cancel pressed while the servers were being tried makes the probes fail too; the user asked to
  // stop, so say that rather than blame the connection.
  if (Cancelled()) return EndCancelled(display);
  ReportRunEnd(ExitCode::kNoConnection);
  display.ShowTitle("");
  char text[kTextSize * 2];
  BuildNoConnectionText(text, sizeof text, QUARN_SITE_NAME);
  display.ShowFrameText(text);
  return EndWithExitButton(display);
}

DWORD EndSucceeded(WebDisplay& display) {
  SaveUninstallRecord();
  ReportRunEnd(ExitCode::kInstalled);
  display.ShowTitle(kTitleSucceeded);
  display.ReportSuccess();
  g_state.flags.workerRunning = 0;
  return 0;
}

// Tries one host: open, probe, and close again when the probe does not accept it.
bool TryHost(int secure, const char* host) {
  g_state.download.httpsMode = secure;
  LogEvent("host %s://%s: trying", secure ? "https" : "http", host);
  if (OpenSession(secure, host) != 0) {
    LogEvent("host %s://%s: not used, no connection to it", secure ? "https" : "http", host);
    return false;
  }
  if (ProbeServer(g_state.internet.session)) {
    LogEvent("host %s://%s: accepted", secure ? "https" : "http", host);
    return true;
  }
  LogEvent("host %s://%s: not used, its Update.ini was not accepted (see the request above)",
           secure ? "https" : "http", host);
  CloseSession();
  return false;
}

// HTTPS first, then HTTP, directly. When neither host answered at all (no route, not a refusal by the
// server), both once more through the system's proxy settings; a direct user never gets there.
// Without a key, a certificate failure of the HTTPS host ends here as when no host answers: whoever
// presents a certificate the machine does not trust may be the very attacker the fallback would let
// through, and nothing but a signature could tell their set from the maker's. A build with a key may go
// on over HTTP: it installs only what the key signed.
bool Connect() {
  bool answered = false;
  for (int secure = 1; secure >= 0; --secure) {
    if (TryHost(secure, secure ? QUARN_HTTPS_HOST : QUARN_HTTP_HOST)) return true;
    answered = answered || SessionGotAnswer();
    const char* problem = secure ? SessionCertificateProblem() : nullptr;
    if (problem != nullptr) {
      const bool keyed = PolicyHasKey(kSetPolicy);
      LogEvent("host https://%s: certificate failure: %s; %s", QUARN_HTTPS_HOST, problem,
               keyed ? "going on over HTTP (only a set signed by the maker's key is installed)"
                     : "no fallback to HTTP without a key to check the set with");
      if (!keyed) return false;
    }
  }
  if (answered) return false;
  LogEvent("neither host answered directly: trying both through the system's proxy settings");
  SetSessionRoute(SessionRoute::kSystemProxy);
  return TryHost(1, QUARN_HTTPS_HOST) || TryHost(0, QUARN_HTTP_HOST);
}

DownloadOutcome Download(WebDisplay& display, DownloadRun& run) {
  display.ShowTitle(kTitleDownloading);
  display.RevealProgress();
  display.ChangeClip(WebClip::kDownload);
  return run.DownloadInstallationSet(display);
}

// A file of the set could not be downloaded: the box names it and says so, then the run ends
// interrupted. Nothing is copied, recorded or started from a set with a file missing (the copy step
// would only ask, again and again, for a floppy disc that a web installation has none of); what was
// staged stays, as at every end.
DWORD EndFileFailed(WebDisplay& display, const char* serverName) {
  char text[kTextSize * 2];
  FormatFileFailed(LoadResourceText(g_state.windows.instance, IDS_FILE_NOT_DOWNLOADED).c_str(), serverName, text, sizeof text);
  // Owned by the web dialog: the worker thread has no window of its own to hold it in front.
  ShowBox(display.owner(), text, g_state.process.caption, MB_ICONERROR | MB_OK, IDOK);
  g_state.flags.cancelRequested = 1;
  return EndCancelled(display, ExitCode::kFileFailed);
}

// The end code of a run whose download stopped with cancelRequested set.
ExitCode StoppedDownloadCode(DownloadEnd end) {
  switch (end) {
    case DownloadEnd::kNoSpace:
      return ExitCode::kNotEnoughSpace;
    case DownloadEnd::kRefused:
      return ExitCode::kFileUnverified;
    case DownloadEnd::kFileFailed:  // Cancel pressed after the failure: the user's end
    case DownloadEnd::kComplete:
    case DownloadEnd::kCancelled:
      break;
  }
  return ExitCode::kCancelled;
}

void PrepareRun() {
  // A run of its own: an earlier run's copy, record and end say nothing about this one.
  g_copyBegan = false;
  ForgetRecord();
  ResetRunEnd();
  g_state.internet = InternetSession{nullptr, nullptr};
  g_state.download.remote = RemoteDescription{};
  for (int i = 0; i < kPartCount; ++i) g_state.download.downloadSelected[i] = g_state.choices.partSelected[i] ? 1 : 0;
  g_state.download.downloadSelected[kSetup] = 1;
  g_state.download.downloadSelected[kSystems] = 1;
  // The run's folders are filled once the description names the root (FillRunFolders); until then the
  // program folder holds the drive's top folder, which DownloadRun::ReadRemoteDescription completes with the root
  // folder name and "\QuarnWin32\" to check that the paths below it fit.
  g_state.paths.rootFolder[0] = g_state.paths.stagingFolder[0] = '\0';
  BuildDriveFolder(g_state.choices.targetDrive, g_state.paths.programFolder, sizeof g_state.paths.programFolder);
  char parts[128] = "";
  for (int i = 0; i < kPartCount; ++i) {
    if (!g_state.choices.partSelected[i]) continue;
    if (parts[0]) strncat(parts, ",", sizeof parts - strlen(parts) - 1);
    strncat(parts, kPartNames[i], sizeof parts - strlen(parts) - 1);
  }
  // The drive as its letter and colon: the first two characters of its top folder.
  LogEvent("installation: drive %.2s, parts %s, start afterwards %s", g_state.paths.programFolder, parts,
           g_state.choices.startAfterInstall ? "yes" : "no");
}

}  // namespace

HANDLE CreateWorkerThread(LPTHREAD_START_ROUTINE procedure, LPVOID parameter) {
  DWORD id = 0;
  HANDLE thread = CreateThread(nullptr, 0, procedure, parameter, CREATE_SUSPENDED, &id);
  if (thread == nullptr) return nullptr;
  if (!SetThreadPriority(thread, THREAD_PRIORITY_BELOW_NORMAL)) {
    LogEvent("worker thread: below-normal priority refused (error %lu)", GetLastError());
  }
  return thread;
}

DWORD WINAPI RunInstallation(LPVOID dialog) {
  g_state.flags.workerRunning = 1;
  LogEvent("worker thread: priority %d", GetThreadPriority(GetCurrentThread()));
  WebDisplay display(static_cast<HWND>(dialog));
  PrepareRun();
  display.ShowTitle(kTitleCollecting);
  display.PlayClip(WebClip::kConnect);

  if (!Connect()) return EndNoConnection(display);

  // A failed description has set cancelRequested; failed folders only skip the download.
  bool descriptionFailed = false;
  DownloadOutcome downloaded;
  DownloadRun run(kSetPolicy);
  if (run.ReadRemoteDescription(display) == 0) {
    // The run's folders, filled once here and taken from g_state.paths by every step: the download
    // stages below the staging folder, so it is known before the first file arrives. The description's
    // check leaves room for them; a path that does not fit is never used.
    if (!FillRunFolders(g_state.choices.targetDrive, g_state.choices.rootName, &g_state.paths)) {
      g_state.flags.cancelRequested = 1;
      CloseSession();
      return EndCancelled(display, ExitCode::kPathTooLong);
    }
    if (CreateStagingFolders()) {
      MoveInstallLog(g_state.paths.stagingFolder);
      LogEvent("staging folder %s", g_state.paths.stagingFolder);
      downloaded = Download(display, run);
    } else {
      LogEvent("staging folder %s could not be made (error %lu)", g_state.paths.stagingFolder, GetLastError());
    }
  } else {
    descriptionFailed = true;
    LogEvent("description: Install.ini or its RootDirectory missing or unusable");
  }
  CloseSession();
  // A Cancel is the user's own end: a file failing after it is no news to them.
  if (Cancelled()) {
    // Cancel pressed while Sign.ini was waited for (its retries): the user's end, not a missing description.
    const bool waitingForFile = descriptionFailed && run.FailedDescriptionFile()[0] != '\0';
    return EndCancelled(display, run.SetWasRefused()                    ? ExitCode::kFileUnverified
                                 : waitingForFile                      ? ExitCode::kCancelled
                                 : descriptionFailed                   ? ExitCode::kDescriptionMissing
                                                                       : StoppedDownloadCode(downloaded.end));
  }
  if (descriptionFailed && run.FailedDescriptionFile()[0] != '\0') return EndFileFailed(display, run.FailedDescriptionFile());
  if (downloaded.end == DownloadEnd::kFileFailed) return EndFileFailed(display, downloaded.failedFile);

  display.ShowTitle(kTitleDirectories);
  display.ChangeClip(WebClip::kInstall);
  // Every installation step reads the description the download verified, from the run's private copy (never
  // the staged one, which other users may change); without a whole path there is nothing to install from,
  // and a cut one would name another file.
  if (g_state.paths.verifiedFolder[0] == '\0' ||
      !FormStagingPath(g_state.paths.verifiedFolder, "Disc_01", "Install.ini", g_state.paths.descriptionPath,
                       sizeof g_state.paths.descriptionPath)) {
    g_state.paths.descriptionPath[0] = '\0';
    g_state.flags.cancelRequested = 1;
    LogEvent("description path does not fit below %s", g_state.paths.verifiedFolder);
    return EndCancelled(display, ExitCode::kPathTooLong);
  }
  CreateSystemDirectories();
  if (Cancelled()) return EndCancelled(display);

  display.ShowTitle(kTitleFiles);
  LoadDiscTable();
  if (Cancelled()) return EndCancelled(display);

  // The copy carries the display on from where the download left it.
  g_state.copy.copyBytesTotal = static_cast<uint32_t>(g_state.download.remote.overallTotal);
  g_state.copy.copyBytesDone = static_cast<uint32_t>(g_state.download.remote.bytesDone);
  g_copyBegan = true;
  if (!CopySelectedParts(display)) {
    return EndCancelled(display, CopyFoundDamagedFile() ? ExitCode::kFileUnverified
                                 : CopyFoundFileInUse() ? ExitCode::kFileInUse
                                                        : ExitCode::kCancelled);
  }
  // The copy step does not look at the flag: a Cancel pressed while files were copied takes effect here,
  // before anything is registered.
  if (Cancelled()) return EndCancelled(display);

  display.ShowPercent("100.0%");
  display.ShowActivity(".");
  display.ShowStatus("   ....");
  display.ShowTitle(kTitleRegistering);
  WriteInstallationRecord();
  if (Cancelled()) return EndCancelled(display);

  display.ShowActivity("..");
  RegisterFileTypes();
  if (Cancelled()) return EndCancelled(display);

  display.ShowActivity("...");
  InstallFonts();
  if (Cancelled()) return EndCancelled(display);

  display.ShowActivity("....");
  CreateDesktopShortcut();
  display.ShowActivity(".....");

  if (Cancelled()) return EndCancelled(display);
  return EndSucceeded(display);
}
