// The target drive chooser and the drive check.
#pragma once
#include <windows.h>

#include <cstddef>

void ChooseTargetDrive(HWND optionsDialog);

// The options dialog's check of a target drive (1 = A ... 26 = Z): the process makes it its current
// drive. false when it cannot (a drive that is missing or not ready): `message` then holds the dialog's
// own text for it ("A cél meghajtó - X: - nem üzemképes, vagy más hiba!").
bool EnterTargetDrive(int number, char* message, size_t messageSize);

// 0 when the target drive was set from field 503; 1 when rejected (a message was shown).
int ApplyTargetDrive(HWND optionsDialog);

UINT_PTR CALLBACK DriveChooserHook(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

int CheckChosenDrive(HWND chooser);
