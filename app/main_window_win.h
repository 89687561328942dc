// Start-up and the main window: the branded backdrop that owns the options dialog.
#pragma once
#include <windows.h>

#include "app/command_line.h"

// Runs the whole program: registers the class, loads the process-wide values, creates the backdrop,
// runs the message loop. The options dialog the backdrop opens takes its choices from `line` where its
// switches give them. Returns the quit message's wParam (0), or 1 when the main window could not be
// created (there would be nothing to end the message loop).
int RunInstaller(HINSTANCE instance, const CommandLine& line);

// Reads %windir% into the Windows folder buffer. A value of 80 characters or more, or none, leaves the
// buffer empty (see StoreWindowsFolder); the buffer is never overrun.
void LoadWindowsFolder(char (&folder)[80]);
