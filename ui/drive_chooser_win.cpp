// The target drive chooser (the Open common dialog on the SetDriveBox template) and the drive check.
#include "ui/drive_chooser_win.h"

#include <commdlg.h>
#include <dlgs.h>

#include <cstdio>
#include <cstring>

#include "state/install_state_win.h"
#include "layout/description.h"
#include "res/resource.h"
#include "ui/drive_field.h"

namespace {

// Set by the hook when OK was pressed on a usable list entry. GetOpenFileNameA's own result is not used:
// the hook always ends the dialog as cancelled, so this flag alone tells whether a drive was chosen.
int g_driveChosen = 0;
// The chooser's list text after OK, then the drive field's text during a check.
char g_driveText[kTextSize];

void ShowDriveError(HWND owner, const char* text) {
  MessageBoxA(owner, text, g_state.process.caption, MB_OK | MB_ICONERROR);
}

void ShowInvalidDrive(HWND owner) {
  char text[kTextSize] = "";
  LoadStringA(g_state.windows.instance, IDS_DRIVE_INVALID, text, sizeof text);
  ShowDriveError(owner, text);
}

}  // namespace

bool CheckChosenDrive(HWND chooser) {
  g_driveText[0] = '\0';
  GetDlgItemTextA(chooser, cmb2, g_driveText, sizeof g_driveText);
  // Windows' entries begin with the letter ("c: [LABEL]"), Wine's read "[-c-]": both name a drive.
  if (DriveLetterOfListEntry(g_driveText) != 0) return true;
  LoadStringA(g_state.windows.instance, IDS_DRIVE_INVALID, g_driveText, sizeof g_driveText);
  ShowDriveError(chooser, g_driveText);
  return false;
}

UINT_PTR CALLBACK DriveChooserHook(HWND window, UINT message, WPARAM wParam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG:
      return 1;
    case WM_COMMAND:
      switch (LOWORD(wParam)) {
        case IDOK:
          if (CheckChosenDrive(window)) g_driveChosen = 1;
          // The template has no file name for the common dialog to accept, so it would stay open: close
          // it ourselves, always as cancelled.
          PostMessageA(window, WM_COMMAND, IDCANCEL, 0);
          return 0;
        case IDCANCEL:
          PostMessageA(window, WM_COMMAND, IDCANCEL, 0);
          return 0;
      }
      return 0;
  }
  return 0;
}

void ChooseTargetDrive(HWND optionsDialog) {
  char fileName[kTextSize];
  memset(fileName, 0, sizeof fileName);
  OPENFILENAMEA ofn;
  memset(&ofn, 0, sizeof ofn);
  ofn.lStructSize = sizeof ofn;
  ofn.hwndOwner = optionsDialog;
  ofn.hInstance = g_state.windows.instance;
  ofn.Flags = OFN_ENABLEHOOK | OFN_ENABLETEMPLATE;
  ofn.lpfnHook = DriveChooserHook;
  ofn.lpTemplateName = "SetDriveBox";
  // Without a title of its own the common dialog replaces the template's caption with its "Open" title;
  // this is the template's caption, so the chooser says what it is for.
  ofn.lpstrTitle = "C\xe9l meghajt\xf3 kijel\xf6l\xe9se:";  // "Cél meghajtó kijelölése:"
  ofn.lpstrFile = fileName;
  ofn.nMaxFile = 10;
  g_driveChosen = 0;

  GetOpenFileNameA(&ofn);
  if (g_driveChosen == 0) return;

  char letter = DriveLetterOfListEntry(g_driveText);
  if (letter >= 'a' && letter <= 'z') letter = static_cast<char>(letter - 'a' + 'A');
  const char field[3] = {letter, ':', '\0'};
  // Setting the text is an edit of the field: the options dialog's change handling checks it too.
  SetDlgItemTextA(optionsDialog, IDC_DRIVE_EDIT, field);
  ApplyTargetDrive(optionsDialog);
}

bool EnterTargetDrive(int number, char* message, size_t messageSize) {
  if (messageSize > 0) message[0] = '\0';
  if (number < 1 || number > 26) return false;
  const char drive[3] = {static_cast<char>('A' + number - 1), ':', '\0'};
  if (SetCurrentDirectoryA(drive)) return true;
  char format[kTextSize] = "";
  LoadStringA(g_state.windows.instance, IDS_DRIVE_NOT_READY, format, sizeof format);
  snprintf(message, messageSize, format, drive);  // our own string table entry, one %s
  return false;
}

bool ApplyTargetDrive(HWND optionsDialog) {
  g_driveText[0] = '\0';
  GetDlgItemTextA(optionsDialog, IDC_DRIVE_EDIT, g_driveText, sizeof g_driveText);
  const char letter = g_driveText[0];
  const int number = DriveNumberOfLetter(letter);
  if (number == 0) {
    ShowInvalidDrive(optionsDialog);
    return false;
  }
  char message[kTextSize];
  if (!EnterTargetDrive(number, message, sizeof message)) {
    ShowDriveError(optionsDialog, message);
    return false;
  }
  // The target drive is the drive the process now stands on, as the system reports it.
  char current[MAX_PATH] = "";
  const DWORD n = GetCurrentDirectoryA(sizeof current, current);
  const int currentNumber = n > 0 && n < sizeof current ? DriveNumberOfLetter(current[0]) : 0;
  g_state.choices.targetDrive = currentNumber != 0 && current[1] == ':' ? currentNumber : number;
  return true;
}
