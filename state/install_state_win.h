// The shared installation state: the portable groups of install_state.h and the Win32 handles, in one
// object for the whole process. Only the installation's entry points read it (the window and dialog
// procedures, the worker and the steps it calls by name); the helpers under them take what they need
// as arguments.
#pragma once
#include <windows.h>

#include <wininet.h>

#include "state/install_state.h"

// The one internet session: both handles or none.
struct InternetSession {
  HINTERNET session = nullptr;     // InternetOpenA; every request is made on it by URL
  HINTERNET connection = nullptr;  // InternetConnectA to the current host; held, never used for requests
};

// Window handles; the web installation dialog's are cleared when it is destroyed.
struct ProcessWindows {
  HINSTANCE instance = nullptr;  // every resource load
  HWND mainWindow = nullptr;     // the backdrop; destroying it ends the program
  HWND optionsDialog = nullptr;  // the options dialog
  HWND webDialog = nullptr;      // the web installation dialog (its worker writes it through ui/web_display_win.h)
};

struct InstallState {
  ProcessTexts process;
  UserChoices choices;
  RunPaths paths;
  DownloadState download;
  InternetSession internet;
  CopyCounters copy;
  WorkerFlags flags;
  ProcessWindows windows;
};

extern InstallState g_state;

// Puts every field back to its start value (g_state = InstallState{}). Tests call it between cases.
void ResetInstallState();
