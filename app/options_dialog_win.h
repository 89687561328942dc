// The installation options dialog (template QUARNWIN).
#pragma once
#include <windows.h>

// Dialog procedure. The WM_INITDIALOG parameter is the run's command line (a const CommandLine*), whose
// /DRIVE, /PARTS and /NOSTART then set the dialog's choices; 0 leaves the defaults.
INT_PTR CALLBACK OptionsDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

void InitOptionsDialog(HWND dialog);

void UpdatePartCheckboxes(HWND dialog);

// Runs the web installation dialog modally; nonzero: success.
int RunWebInstallDialog(HWND dialog);
