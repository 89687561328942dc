// The target drive chooser and the drive check.
#pragma once
#include <windows.h>

#include <cstddef>

void ChooseTargetDrive(HWND optionsDialog);

// The options dialog's check of a target drive (1 = A ... 26 = Z): the process makes it its current
// drive. false when it cannot (a drive that is missing or not ready): `message` then holds the dialog's
// own text for it ("A cél meghajtó - X: - nem üzemképes, vagy más hiba!").
bool EnterTargetDrive(int number, char* message, size_t messageSize);

// True when the target drive was set from field 503; false when rejected (a message was shown).
bool ApplyTargetDrive(HWND optionsDialog);

UINT_PTR CALLBACK DriveChooserHook(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// True when the chooser's drive list names a drive; false after a message saying it does not.
bool CheckChosenDrive(HWND chooser);
