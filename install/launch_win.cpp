#include "install/launch_win.h"

#include <string>
#include <vector>

#include "state/install_state_win.h"
#include "base/install_log_win.h"
#include "base/scoped_handle_win.h"
#include "layout/install_layout.h"
#include "install/progman_dde_win.h"

void LaunchInstalledSystem() {
  ReleaseProgramManagerCommandBlock();
  if (g_state.windows.mainWindow) DestroyWindow(g_state.windows.mainWindow);
  if (!g_state.choices.startAfterInstall) {
    LogEvent("launch: not asked for");
    return;
  }

  const std::string commandLine = InstalledSystemCommandLine(g_state.choices.targetDrive, g_state.choices.rootName);
  if (commandLine.empty()) {
    MessageBeep(0);
    return;
  }
  // CreateProcess may write into the command line, so it gets a copy of its own.
  std::vector<char> buffer(commandLine.begin(), commandLine.end());
  buffer.push_back('\0');

  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = SW_SHOW;
  PROCESS_INFORMATION process = {};
  // The program's full path is also given as the application name: the command line stays the unquoted
  // path the installed system has always seen, but with a blank in the root folder the platform would
  // otherwise try the blank-separated prefixes first ("C:\Quarn Acc\..." starts C:\Quarn.exe if there is
  // one). Named this way, nothing but the installed program can start.
  if (!CreateProcessA(commandLine.c_str(), buffer.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup,
                      &process)) {
    LogEvent("launch %s: failed (error %lu)", commandLine.c_str(), GetLastError());
    MessageBeep(0);
    return;
  }
  // The installer does not wait for the system it started: both handles are closed at once.
  ScopedKernelHandle thread(process.hThread);
  ScopedKernelHandle started(process.hProcess);
  LogEvent("launch %s: started", commandLine.c_str());
}
