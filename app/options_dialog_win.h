// The installation options dialog (template QUARNWIN).
#pragma once
#include <windows.h>

INT_PTR CALLBACK OptionsDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

void InitOptionsDialog(HWND dialog);

void UpdatePartCheckboxes(HWND dialog);

// Runs the web installation dialog modally; nonzero: success.
int RunWebInstallDialog(HWND dialog);
