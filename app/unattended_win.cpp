// The command line's runs. A silent run has a window of its own that is never shown: it owns the Program
// Manager conversation (which needs a window to talk from) and its destruction ends the message loop, as
// the backdrop's does in an interactive run.
#include "app/unattended_win.h"

#include <cstring>
#include <string>

#include "app/command_line.h"
#include "app/exit_codes.h"
#include "app/main_window_win.h"
#include "app/run_end_win.h"
#include "app/uninstall_win.h"
#include "app/usage_texts.h"
#include "app/worker_win.h"
#include "base/install_log_win.h"
#include "base/message_box_win.h"
#include "base/private_folder_win.h"
#include "base/resource_text_win.h"
#include "base/scoped_handle_win.h"
#include "install/launch_win.h"
#include "install/progman_dde_win.h"
#include "res/resource.h"
#include "state/install_state_win.h"
#include "ui/drive_chooser_win.h"
#include "ui/drive_field.h"

namespace {

constexpr char kSilentWindowClass[] = "QuarnCAD WEB Install (silent)";

CommandLine g_line;

const char* CodeName(int code) {
  const ExitCodeInfo* info = FindExitCode(code);
  return info ? info->name : "?";
}

std::string PartList(const int32_t* parts) {
  std::string s;
  for (int p = 0; p < kPartCount; ++p) {
    if (parts[p]) s += std::string(s.empty() ? "" : ",") + kPartNames[p];
  }
  return s;
}

// The drive the options dialog would offer: C: when it can be made current, else the current drive.
int32_t DefaultTargetDrive() {
  SetCurrentDirectoryA("C:");
  char current[MAX_PATH] = "";
  const DWORD n = GetCurrentDirectoryA(sizeof current, current);
  const int number = n > 0 && n < sizeof current && current[1] == ':' ? DriveNumberOfLetter(current[0]) : 0;
  return number != 0 ? number : 3;
}

// The choices of a silent run: the options dialog's defaults (every part disc 1 is taken to hold, that is
// all but the sample projects), then the switches.
void PrepareSilentChoices() {
  g_state.choices.targetDrive = g_line.drive ? g_line.drive : DefaultTargetDrive();
  memset(g_state.choices.rootName, 0, sizeof g_state.choices.rootName);
  strcpy(g_state.choices.rootName, "V92Demo");
  for (DiscEntry& disc : g_state.choices.discTable) memset(disc.present, 0, sizeof disc.present);
  for (int part = 0; part < kPartCount; ++part) {
    g_state.choices.discTable[0].present[part] = part == kProjects ? 0 : 1;
    g_state.choices.partSelected[part] = g_line.partsGiven ? g_line.parts[part] : (part == kProjects ? 0 : 1);
  }
  g_state.choices.startAfterInstall = g_line.noStart ? 0 : 1;
}

LRESULT CALLBACK SilentWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case kRunEndedMessage:
      if (IsInstalledEnd(static_cast<int>(wParam))) {
        // Its end (the launch step) destroys this window.
        StartProgramManagerConversation(window, LaunchInstalledSystem);
      } else {
        DestroyWindow(window);
      }
      return 0;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    default:
      return DefWindowProcA(window, message, wParam, lParam);
  }
}

ExitCode RunSilentInstall(HINSTANCE instance) {
  // The drive is checked as the options dialog checks it: a drive that is missing or not ready is a bad
  // value of /DRIVE, refused before anything is done (the dialog's message goes to the log).
  if (g_line.drive) {
    char message[kTextSize];
    if (!EnterTargetDrive(g_line.drive, message, sizeof message)) {
      LogEvent("bad command line: /DRIVE=%c: the drive is missing or not ready", 64 + g_line.drive);
      ShowBox(nullptr, message, g_state.process.caption, MB_OK | MB_ICONERROR, IDOK);
      return ExitCode::kBadCommandLine;
    }
  }
  PrepareSilentChoices();
  LogEvent("silent installation: drive %c:, parts %s, start afterwards %s", 64 + g_state.choices.targetDrive,
           PartList(g_state.choices.partSelected).c_str(), g_state.choices.startAfterInstall ? "yes" : "no");
  WNDCLASSA wc = {};
  wc.lpfnWndProc = SilentWindowProc;
  wc.hInstance = instance;
  wc.lpszClassName = kSilentWindowClass;
  RegisterClassA(&wc);
  // Never shown (no WS_VISIBLE, never ShowWindow): it only carries messages.
  HWND window = CreateWindowExA(0, kSilentWindowClass, g_state.process.caption, WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                                instance, nullptr);
  if (!window) return ExitCode::kStartFailed;
  g_state.windows.mainWindow = window;

  g_state.flags.workerRunning = 1;
  // At below-normal priority, as the dialog's worker: the Program Manager conversation at the end is
  // carried by this thread's window.
  ScopedKernelHandle thread(CreateWorkerThread(RunInstallation, nullptr));
  if (!thread) {
    g_state.flags.workerRunning = 0;
    DestroyWindow(window);
    return ExitCode::kStartFailed;
  }
  ResumeThread(thread.get());
  MSG msg = {};
  while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  WaitForSingleObject(thread.get(), INFINITE);  // it has reported its end already; only its return is left
  const int code = ReportedRunEnd();
  return code < 0 ? ExitCode::kStartFailed : static_cast<ExitCode>(code);
}

void LoadProcessValues(HINSTANCE instance) {
  g_state.windows.instance = instance;
  LoadWindowsFolder(g_state.process.windowsFolder);
  LoadStringA(instance, IDS_CAPTION, g_state.process.caption, sizeof g_state.process.caption);
}

}  // namespace

int RunProgram(HINSTANCE instance, const char* commandLine) {
  // The run's private copies of the verified description and lists go with the run, however it ends.
  struct RemoveVerifiedCopies {
    ~RemoveVerifiedCopies() { RemovePrivateFolder(g_state.paths.verifiedFolder); }
  } removeVerifiedCopies;
  ParseCommandLine(commandLine, &g_line);
  SetSilentRun(g_line.silent);
  OpenInstallLog(g_line.error == CommandLineError::kNone ? g_line.logPath : nullptr);
  LogEvent("start: QuarnWebInstall (%d-bit), command line \"%s\"", static_cast<int>(sizeof(void*) * 8),
           commandLine ? commandLine : "");
  LoadProcessValues(instance);

  ExitCode code = ExitCode::kInstalled;
  if (g_line.error != CommandLineError::kNone) {
    LogEvent("bad command line: %s: \"%s\"", CommandLineErrorName(g_line.error), g_line.errorToken);
    const std::string format = LoadResourceText(instance, static_cast<UINT>(CommandLineErrorTextId(g_line.error)));
    ShowBox(nullptr, CommandLineErrorText(g_line, format.c_str()).c_str(), g_state.process.caption, MB_OK | MB_ICONERROR, IDOK);
    code = ExitCode::kBadCommandLine;
  } else if (g_line.help) {
    // Asked for explicitly: shown even in a silent run.
    const bool silent = IsSilentRun();
    SetSilentRun(false);
    ShowBox(nullptr, LoadResourceText(instance, IDS_HELP).c_str(), g_state.process.caption, MB_OK | MB_ICONINFORMATION, IDOK);
    SetSilentRun(silent);
  } else if (g_line.uninstall) {
    code = RunUninstall();
  } else if (g_line.silent) {
    code = RunSilentInstall(instance);
  } else {
    const int result = RunInstaller(instance, g_line);
    const int end = ReportedRunEnd();
    if (!g_line.any) {
      LogEnd("end: exit code %d (a run without switches)", result);
      return result;
    }
    code = result != 0 ? ExitCode::kStartFailed : end < 0 ? ExitCode::kCancelled : static_cast<ExitCode>(end);
  }
  LogEnd("end: exit code %d (%s)", static_cast<int>(code), CodeName(static_cast<int>(code)));
  return static_cast<int>(code);
}
