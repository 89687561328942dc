// The end of an installation run, as the worker reports it: its exit code, kept for the program's end,
// and in a silent run the message that lets the silent window go on.
#pragma once
#include <windows.h>

#include "app/exit_codes.h"

// Posted to the silent run's window at the run's end; wParam: the exit code.
constexpr UINT kRunEndedMessage = WM_APP + 20;

// Called by the worker at each of its ends (any thread). Keeps the code (kInstalled becomes
// kInstalledWithErrors when an error box was answered OK) and, in a silent run, posts kRunEndedMessage to
// the main window.
void ReportRunEnd(ExitCode code);

// The code the last run reported, or -1 when no run has reported one.
int ReportedRunEnd();

// Forgets the reported code: a run of its own starts with none.
void ResetRunEnd();

// Whether a code is one of a completed installation (with or without accepted errors).
bool IsInstalledEnd(int code);
