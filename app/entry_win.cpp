// Entry point of QuarnWebInstall.exe.
#include <windows.h>

#include "app/unattended_win.h"
#include "base/dll_search_win.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int) {
  // Before anything can load a DLL: none may come from beside the program (see base/dll_search_win.h).
  RestrictDllSearchToSystemFolder();
  return RunProgram(instance, commandLine);
}
