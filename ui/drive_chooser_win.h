// The target drive chooser and the drive check.
#pragma once
#include <windows.h>

void ChooseTargetDrive(HWND optionsDialog);

// 0 when the target drive was set from field 503; 1 when rejected (a message was shown).
int ApplyTargetDrive(HWND optionsDialog);

UINT_PTR CALLBACK DriveChooserHook(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

int CheckChosenDrive(HWND chooser);
