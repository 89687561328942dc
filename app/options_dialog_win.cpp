// Placeholder bodies so that the program links; replaced by the real implementation.
#include "app/options_dialog_win.h"

INT_PTR CALLBACK OptionsDialogProc(HWND, UINT, WPARAM, LPARAM) { return FALSE; }
void InitOptionsDialog(HWND) {}
void UpdatePartCheckboxes(HWND) {}
int RunWebInstallDialog(HWND) { return 0; }
