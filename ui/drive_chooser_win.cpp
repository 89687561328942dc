// Placeholder bodies so that the program links; replaced by the real implementation.
#include "ui/drive_chooser_win.h"

void ChooseTargetDrive(HWND) {}
int ApplyTargetDrive(HWND) { return 1; }
UINT_PTR CALLBACK DriveChooserHook(HWND, UINT, WPARAM, LPARAM) { return 0; }
int CheckChosenDrive(HWND) { return 0; }
