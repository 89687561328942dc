// Entry point of QuarnWebInstall.exe.
#include <windows.h>

#include "app/unattended_win.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int) { return RunProgram(instance, commandLine); }
