#include "install/launch_win.h"

#include <string>
#include <vector>

#include "base/install_log_win.h"
#include "base/scoped_handle_win.h"
#include "install/progman_dde_win.h"
#include "install/uninstall_record_win.h"
#include "layout/install_layout.h"
#include "state/install_state_win.h"

namespace {

// Whether the open program file holds what this run installed there: the size and SHA-256 the copy
// recorded (the set's digest, checked before the file was written, or the hash of what was written).
bool HeldProgramIsInstalled(HANDLE file, const char* path) {
  uint64_t size = 0;
  std::string recorded;
  if (!FindRecordedFile(path, &size, &recorded)) {
    LogEvent("launch %s: not installed by this run, so not started", path);
    return false;
  }
  uint64_t hashed = 0;
  std::string sha256;
  if (!HashOpenFile(file, &hashed, &sha256)) return false;
  if (hashed != size || sha256 != recorded) {
    LogEvent("launch %s: changed since it was installed, so not started", path);
    return false;
  }
  return true;
}

}  // namespace

void LaunchInstalledSystem() {
  ReleaseProgramManagerCommandBlock();
  if (g_state.windows.mainWindow) DestroyWindow(g_state.windows.mainWindow);
  if (!g_state.choices.startAfterInstall) {
    LogEvent("launch: not asked for");
    return;
  }

  const std::string commandLine = InstalledSystemCommandLine(g_state.paths.programFolder);
  if (commandLine.empty()) {
    MessageBeep(0);
    return;
  }
  // CreateProcess may write into the command line, so it gets a copy of its own.
  std::vector<char> buffer(commandLine.begin(), commandLine.end());
  buffer.push_back('\0');

  // Held from its check until the system has started: read sharing only, so nobody can write, replace or
  // delete the file in between; and only a file that is what this run installed is started.
  ScopedFile held(CreateFileA(commandLine.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!held) {
    LogEvent("launch %s: cannot be opened for its check (error %lu)", commandLine.c_str(), GetLastError());
    MessageBeep(0);
    return;
  }
  if (!HeldProgramIsInstalled(held.get(), commandLine.c_str())) {
    MessageBeep(0);
    return;
  }

  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = SW_SHOW;
  PROCESS_INFORMATION process = {};
  // The program's full path is also given as the application name: the command line stays the unquoted
  // path the installed system has always seen, but with a blank in the root folder the platform would
  // otherwise try the blank-separated prefixes first ("C:\Quarn Acc\..." starts C:\Quarn.exe if there is
  // one). Named this way, nothing but the installed program can start.
  // No handle of the installer is inherited: the system gets nothing the installer opened.
  if (!CreateProcessA(commandLine.c_str(), buffer.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
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
