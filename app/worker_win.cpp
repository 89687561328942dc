// The worker thread: the installation in its fixed order. It writes the web installation dialog's
// controls directly; every such call is a message sent to the dialog's thread, which keeps pumping, so
// the worker waits for each of them while the dialog never waits for the worker.
#include "app/worker_win.h"

#include <cstring>

#include "state/install_state_win.h"
#include "app/unattended_win.h"
#include "base/install_log_win.h"
#include "app/web_dialog_win.h"
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
#include "res/resource.h"
#include "web/session_win.h"
#include "web/set_download_win.h"
#include "web/remote_file_win.h"

namespace {

void SetField(int id, const char* text) { SetDlgItemTextA(g_state.windows.webDialog, id, text); }

bool Cancelled() { return g_state.flags.cancelRequested != 0; }

// Set once the copy step has begun: from then on files may have been written, and every end leaves the
// uninstall list of what was made.
bool g_copyBegan = false;

// The end of every run that leaves the dialog open: workerRunning is cleared before the button is
// enabled, so that a press of "Kilépés" always finds the worker done and closes the dialog.
DWORD EndWithExitButton() {
  StopAnimation();
  g_state.flags.workerRunning = 0;
  HWND button = GetDlgItem(g_state.windows.webDialog, IDCANCEL);
  SetWindowTextA(button, kButtonExit);
  EnableWindow(button, TRUE);
  return 0;
}

DWORD EndCancelled(ExitCode code = ExitCode::kCancelled) {
  if (g_copyBegan) SaveUninstallRecord();
  ReportRunEnd(code);
  SetField(IDC_WEB_TITLE, kTitleCancelled);
  return EndWithExitButton();
}

DWORD EndNoConnection() {
  // A Cancel pressed while the servers were being tried makes the probes fail too; the user asked to
  // stop, so say that rather than blame the connection.
  if (Cancelled()) return EndCancelled();
  ReportRunEnd(ExitCode::kNoConnection);
  SetField(IDC_WEB_TITLE, "");
  char text[kTextSize * 2];
  BuildNoConnectionText(text, sizeof text, QUARN_SITE_NAME);
  SetField(IDC_WEB_FRAME, text);
  return EndWithExitButton();
}

DWORD EndSucceeded() {
  SaveUninstallRecord();
  ReportRunEnd(ExitCode::kInstalled);
  SetField(IDC_WEB_TITLE, kTitleSucceeded);
  PostMessageA(g_state.windows.webDialog, WM_COMMAND, IDM_WEB_SUCCESS, 0);
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
bool Connect() {
  bool answered = false;
  for (int secure = 1; secure >= 0; --secure) {
    if (TryHost(secure, secure ? QUARN_HTTPS_HOST : QUARN_HTTP_HOST)) return true;
    answered = answered || SessionGotAnswer();
  }
  if (answered) return false;
  LogEvent("neither host answered directly: trying both through the system's proxy settings");
  SetSessionRoute(SessionRoute::kSystemProxy);
  return TryHost(1, QUARN_HTTPS_HOST) || TryHost(0, QUARN_HTTP_HOST);
}

void ShowProgressControls() {
  const int ids[] = {IDC_WEB_STATUS, IDC_WEB_PROGRESS, IDC_WEB_ACTIVITY, IDC_WEB_PERCENT};
  for (int id : ids) ShowWindow(GetDlgItem(g_state.windows.webDialog, id), SW_SHOWNORMAL);
}

void Download() {
  SetField(IDC_WEB_TITLE, kTitleDownloading);
  ShowProgressControls();
  ChangeAnimation(IDR_CLIP_DOWNLOAD);
  // A download that stops early without a cancel is not an end: what was staged gets installed.
  DownloadInstallationSet();
}

void PrepareRun() {
  g_state.internet = InternetSession{nullptr, nullptr};
  g_state.download.remote = RemoteDescription{};
  for (int i = 0; i < kPartCount; ++i) g_state.download.downloadSelected[i] = g_state.choices.partSelected[i] ? 1 : 0;
  g_state.download.downloadSelected[kSetup] = 1;
  g_state.download.downloadSelected[kSystems] = 1;
  // ReadRemoteDescription completes it with the root folder name and "\QuarnWin32\".
  memset(g_state.paths.programFolder, 0, sizeof g_state.paths.programFolder);
  g_state.paths.programFolder[0] = static_cast<char>(64 + g_state.choices.targetDrive);
  g_state.paths.programFolder[1] = ':';
  g_state.paths.programFolder[2] = '\\';
  char parts[128] = "";
  for (int i = 0; i < kPartCount; ++i) {
    if (!g_state.choices.partSelected[i]) continue;
    if (parts[0]) strncat(parts, ",", sizeof parts - strlen(parts) - 1);
    strncat(parts, kPartNames[i], sizeof parts - strlen(parts) - 1);
  }
  LogEvent("installation: drive %c:, parts %s, start afterwards %s", 64 + g_state.choices.targetDrive, parts,
           g_state.choices.startAfterInstall ? "yes" : "no");
}

}  // namespace

DWORD WINAPI RunInstallation(LPVOID) {
  g_state.flags.workerRunning = 1;
  PrepareRun();
  SetField(IDC_WEB_TITLE, kTitleCollecting);
  PlayAnimation(IDC_WEB_FRAME, IDR_CLIP_CONNECT);

  if (!Connect()) return EndNoConnection();

  // A failed description has set cancelRequested; failed folders only skip the download.
  bool descriptionFailed = false;
  if (ReadRemoteDescription() == 0) {
    // The download stages below this folder, so it is known before the first file arrives.
    // The description's check leaves room for it; a path that does not fit is never used.
    if (!BuildStagingFolderPath(g_state.paths.stagingFolder, sizeof g_state.paths.stagingFolder,
                                g_state.paths.programFolder)) {
      g_state.flags.cancelRequested = 1;
      CloseSession();
      return EndCancelled(ExitCode::kPathTooLong);
    }
    if (CreateStagingFolders() == 0) {
      MoveInstallLog(g_state.paths.stagingFolder);
      LogEvent("staging folder %s", g_state.paths.stagingFolder);
      Download();
    } else {
      LogEvent("staging folder %s could not be made (error %lu)", g_state.paths.stagingFolder, GetLastError());
    }
  } else {
    descriptionFailed = true;
    LogEvent("description: Install.ini or its RootDirectory missing or unusable");
  }
  CloseSession();
  if (Cancelled()) {
    return EndCancelled(SetWasRefused()       ? ExitCode::kFileUnverified
                        : descriptionFailed ? ExitCode::kDescriptionMissing
                                            : ExitCode::kCancelled);
  }

  SetField(IDC_WEB_TITLE, kTitleDirectories);
  ChangeAnimation(IDR_CLIP_INSTALL);
  // Every installation step reads the staged description; without a whole path there is nothing to
  // install from, and a cut one would name another file.
  if (!BuildDescriptionPath(g_state.paths.descriptionPath, sizeof g_state.paths.descriptionPath, g_state.paths.programFolder)) {
    g_state.flags.cancelRequested = 1;
    LogEvent("description path does not fit below %s", g_state.paths.programFolder);
    return EndCancelled(ExitCode::kPathTooLong);
  }
  CreateSystemDirectories();
  if (Cancelled()) return EndCancelled();

  SetField(IDC_WEB_TITLE, kTitleFiles);
  if (!BuildStagingFolderPath(g_state.paths.stagingFolder, sizeof g_state.paths.stagingFolder,
                              g_state.paths.programFolder)) {
    g_state.flags.cancelRequested = 1;
    return EndCancelled(ExitCode::kPathTooLong);
  }
  LoadDiscTable();
  if (Cancelled()) return EndCancelled();

  // The copy carries the display on from where the download left it.
  g_state.copy.copyBytesTotal = static_cast<uint32_t>(g_state.download.remote.overallTotal);
  g_state.copy.copyBytesDone = static_cast<uint32_t>(g_state.download.remote.bytesDone);
  g_copyBegan = true;
  if (CopySelectedParts(g_state.windows.webDialog) != 0) return EndCancelled();
  // The copy step does not look at the flag: a Cancel pressed while files were copied takes effect here,
  // before anything is registered.
  if (Cancelled()) return EndCancelled();

  SetField(IDC_WEB_PERCENT, "100.0%");
  SetField(IDC_WEB_ACTIVITY, ".");
  SetField(IDC_WEB_STATUS, "   ....");
  SetField(IDC_WEB_TITLE, kTitleRegistering);
  WriteInstallationRecord();
  if (Cancelled()) return EndCancelled();

  SetField(IDC_WEB_ACTIVITY, "..");
  RegisterFileTypes();
  if (Cancelled()) return EndCancelled();

  SetField(IDC_WEB_ACTIVITY, "...");
  InstallFonts();
  if (Cancelled()) return EndCancelled();

  SetField(IDC_WEB_ACTIVITY, "....");
  CreateDesktopShortcut();
  SetField(IDC_WEB_ACTIVITY, ".....");

  if (Cancelled()) return EndCancelled();
  return EndSucceeded();
}
