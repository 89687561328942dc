// Entry point of QuarnWebInstall.exe.
#include <windows.h>

#include <commctrl.h>

#include "app/unattended_win.h"
#include "base/dll_search_win.h"
#ifdef QUARN_TEST_STALL_BOUND_MS
#include "web/bounded_read_win.h"
#endif

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int) {
  // Before anything can load a DLL: none may come from beside the program (see base/dll_search_win.h).
  RestrictDllSearchToSystemFolder();
  // The dialogs' progress bar and animation are common controls: their classes are registered here, which
  // also loads the common controls (now from the system folder) before any dialog needs them.
  INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_PROGRESS_CLASS | ICC_ANIMATE_CLASS};
  InitCommonControlsEx(&controls);
#ifdef QUARN_TEST_STALL_BOUND_MS
  // A test build only (never the shipped program): a shorter time without a byte before a transfer is
  // given up.
  SetStallBoundForTest(QUARN_TEST_STALL_BOUND_MS);
#endif
  return RunProgram(instance, commandLine);
}
