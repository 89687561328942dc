// Entry point of QuarnWebInstall.exe.
#include <windows.h>

#include "app/main_window_win.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) { return RunInstaller(instance); }
