// Start-up and the main window: the branded backdrop that owns the options dialog.
#pragma once
#include <windows.h>

// Runs the whole program: registers the class, loads the process-wide values, creates the backdrop,
// runs the message loop. Returns the quit message's wParam.
int RunInstaller(HINSTANCE instance);

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
