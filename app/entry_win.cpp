// Entry point of QuarnWebInstall.exe.
#include <windows.h>

#include <commctrl.h>

#include "app/unattended_win.h"
#include "base/dll_search_win.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int) {
  // Before anything can load a DLL: none may come from beside the program (see base/dll_search_win.h).
  RestrictDllSearchToSystemFolder();
  // The dialogs' progress bar and animation are common controls: their classes are registered here, which
  // also loads the common controls (now from the system folder) before any dialog needs them.
  INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_PROGRESS_CLASS | ICC_ANIMATE_CLASS};
  InitCommonControlsEx(&controls);
  return RunProgram(instance, commandLine);
}
