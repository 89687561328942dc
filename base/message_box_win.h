// Every message box of the program goes through ShowBox: in a silent run (/S) no box appears and the
// box's documented default answer is taken instead; every box, shown or answered silently, is logged.
#pragma once
#include <windows.h>

void SetSilentRun(bool silent);
bool IsSilentRun();

// MessageBoxA(owner, text, caption, type), or `silentAnswer` without a window in a silent run.
int ShowBox(HWND owner, const char* text, const char* caption, UINT type, int silentAnswer);

// Error boxes (MB_ICONERROR with only OK, or OK/Cancel) answered with OK since the start: the run goes on
// past an error the user (or the silent default) accepted.
int AcceptedErrorCount();
