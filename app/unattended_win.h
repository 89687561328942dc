// The program as its command line asks: interactive (no switch: exactly the program as it always was),
// the help box, a silent installation, or the removal. Every run writes the installation log and ends with
// an exit code (see app/exit_codes.h for when the code is not 0).
#pragma once
#include <windows.h>

// WinMain's work: parse, log, run, end.
int RunProgram(HINSTANCE instance, const char* commandLine);
