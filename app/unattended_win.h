// The program as its command line asks: interactive (no switch: exactly the program as it always was),
// the help box, a silent installation, or the removal. Every run writes the installation log and ends with
// an exit code (see app/exit_codes.h for when the code is not 0).
#pragma once
#include <windows.h>

#include "app/command_line.h"
#include "app/exit_codes.h"

// WinMain's work: parse, log, run, end.
int RunProgram(HINSTANCE instance, const char* commandLine);

// The switches of this run (all zero for a run without them).
const CommandLine& TheCommandLine();

// Called by the worker at each of its ends (any thread). A silent run goes on from here: after success
// with the Program Manager group, else it closes.
void ReportRunEnd(ExitCode code);

// Puts the options dialog's choices to what /DRIVE, /PARTS and /NOSTART ask, after the dialog has set its
// defaults. Nothing changes for a switch not given.
void ApplyCommandLineToOptions(HWND dialog);
