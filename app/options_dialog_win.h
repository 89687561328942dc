// The installation options dialog (template QUARNWIN): target drive, parts, start afterwards. Install runs
// the web installation dialog; after a success the Program Manager conversation runs from this dialog and
// its end closes the installer, after a failure or Cancel the dialog and the backdrop are destroyed.
#pragma once
#include <windows.h>

// Dialog procedure. The WM_INITDIALOG parameter is the run's command line (a const CommandLine*), whose
// /DRIVE, /PARTS and /NOSTART then set the dialog's choices; 0 leaves the defaults.
INT_PTR CALLBACK OptionsDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
