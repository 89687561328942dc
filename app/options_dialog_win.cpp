// The installation options dialog: target drive, parts to install, start after installation.
#include "app/options_dialog_win.h"

#include <cstring>

#include "app/command_line.h"
#include "app/web_dialog_win.h"
#include "install/launch_win.h"
#include "install/progman_dde_win.h"
#include "layout/description.h"
#include "res/resource.h"
#include "state/install_state_win.h"
#include "ui/about_box_win.h"
#include "ui/drive_chooser_win.h"
#include "ui/drive_field.h"

namespace {

int RunWebInstallDialog(HWND dialog);

// Keeps the drive field's change handling from running inside itself: it sets the field's text, which
// raises another change notification while the first is still being handled.
int g_driveChangeGuard = 0;

// The parts the user may switch, with their check boxes (Setup and Systems are always installed, the
// sample projects never).
struct PartBox {
  int id;
  PartIndex part;
};
constexpr PartBox kSelectableParts[] = {
    {IDC_PART_DRAWINGS, kDrawings}, {IDC_PART_BLOCKS, kBlocks}, {IDC_PART_DATAS, kDatas}, {IDC_PART_HELP, kHelp}};

// Every control of the dialog a user can act on, but Cancel.
constexpr int kLockedFromInstall[] = {IDOK,          IDC_DRIVE_EDIT,    IDC_CHOOSE_DRIVE,  IDC_START_AFTER,
                                      IDC_PART_SETUP, IDC_PART_SYSTEMS, IDC_PART_DRAWINGS, IDC_PART_BLOCKS,
                                      IDC_PART_DATAS, IDC_PART_HELP,    IDC_INFO_BUTTON};

bool AnyDiscHolds(int part) {
  for (const DiscEntry& disc : g_state.choices.discTable) {
    if (disc.present[part]) return true;
  }
  return false;
}

void CheckBox(HWND dialog, int id, int32_t flag) { CheckDlgButton(dialog, id, flag ? BST_CHECKED : BST_UNCHECKED); }

void TogglePart(HWND dialog, int id, PartIndex part) {
  int32_t& flag = g_state.choices.partSelected[part];
  flag = flag == 0 ? 1 : 0;
  CheckBox(dialog, id, flag);
}

void OnDriveFieldChange(HWND dialog) {
  if (g_driveChangeGuard) return;
  g_driveChangeGuard = 1;
  char text[kTextSize] = "";
  GetDlgItemTextA(dialog, IDC_DRIVE_EDIT, text, sizeof text);
  DWORD start = 0, end = 0;
  SendDlgItemMessageA(dialog, IDC_DRIVE_EDIT, EM_GETSEL, reinterpret_cast<WPARAM>(&start),
                      reinterpret_cast<LPARAM>(&end));
  const DriveFieldChange change =
      ReduceDriveFieldChange(text, static_cast<int>(start), static_cast<int>(end));
  if (change.setField) SetDlgItemTextA(dialog, IDC_DRIVE_EDIT, change.work);
  if (change.check) ApplyTargetDrive(dialog);
  g_driveChangeGuard = 0;
}

void OnInstall(HWND dialog) {
  if (!ApplyTargetDrive(dialog)) return;  // the check has shown why
  if (RunWebInstallDialog(dialog) == 0) DestroyWindow(g_state.windows.mainWindow);
  // Nonzero: the Program Manager conversation runs now; its end closes the program.
}

void OnCancel(HWND dialog) {
  EndDialog(dialog, 1);
  DestroyWindow(g_state.windows.mainWindow);
}

BOOL OnCommand(HWND dialog, int id, int notification) {
  switch (id) {
    case IDOK:
      OnInstall(dialog);
      return TRUE;
    case IDCANCEL:
      OnCancel(dialog);
      return TRUE;
    case IDC_DRIVE_EDIT:
      if (notification == EN_CHANGE) OnDriveFieldChange(dialog);
      return TRUE;
    case IDC_START_AFTER:
      g_state.choices.startAfterInstall = g_state.choices.startAfterInstall == 0 ? 1 : 0;
      CheckBox(dialog, IDC_START_AFTER, g_state.choices.startAfterInstall);
      return TRUE;
    case IDC_CHOOSE_DRIVE:
      ChooseTargetDrive(dialog);
      return TRUE;
    case IDC_PART_SETUP:
      TogglePart(dialog, id, kSetup);
      return TRUE;
    case IDC_PART_SYSTEMS:
      TogglePart(dialog, id, kSystems);
      return TRUE;
    case IDC_PART_DRAWINGS:
      TogglePart(dialog, id, kDrawings);
      return TRUE;
    case IDC_PART_BLOCKS:
      TogglePart(dialog, id, kBlocks);
      return TRUE;
    case IDC_PART_DATAS:
      TogglePart(dialog, id, kDatas);
      return TRUE;
    case IDC_PART_HELP:
      TogglePart(dialog, id, kHelp);
      return TRUE;
    case IDC_PART_PROJECTS:
    case IDC_PART_RESERVED:
    case IDC_HELP_BUTTON:
      return TRUE;
    case IDC_INFO_BUTTON:
      DialogBoxParamA(g_state.windows.instance, "AboutBox", dialog, AboutBoxProc, 0);
      return TRUE;
  }
  return FALSE;
}

// Puts the dialog's choices to what /DRIVE, /PARTS and /NOSTART ask, after the dialog has set its
// defaults. Nothing changes for a switch not given.
void ApplyCommandLineToOptions(HWND dialog, const CommandLine& line) {
  if (line.drive) {
    const char field[3] = {static_cast<char>(64 + line.drive), ':', '\0'};
    SetDlgItemTextA(dialog, IDC_DRIVE_EDIT, field);  // runs the change handling like any edit
  }
  if (line.partsGiven) {
    for (const PartBox& b : kSelectableParts) {
      g_state.choices.partSelected[b.part] = line.parts[b.part];
      CheckDlgButton(dialog, b.id, line.parts[b.part] ? BST_CHECKED : BST_UNCHECKED);
    }
    g_state.choices.partSelected[kProjects] = line.parts[kProjects];
  }
  if (line.noStart) {
    g_state.choices.startAfterInstall = 0;
    CheckDlgButton(dialog, IDC_START_AFTER, BST_UNCHECKED);
  }
}

// Shows the start-after box and the part boxes as the choices and the disc table have them: a part some
// disc holds is enabled and selected, one no disc holds is disabled; Systems is always selected.
void UpdatePartCheckboxes(HWND dialog) {
  CheckBox(dialog, IDC_START_AFTER, g_state.choices.startAfterInstall);
  EnableWindow(GetDlgItem(dialog, IDC_START_AFTER), TRUE);

  // The system is always installed: its box shows the flag but is never enabled.
  if (AnyDiscHolds(kSystems)) g_state.choices.partSelected[kSystems] = 1;
  CheckBox(dialog, IDC_PART_SYSTEMS, g_state.choices.partSelected[kSystems]);

  for (const PartBox& box : kSelectableParts) {
    const bool held = AnyDiscHolds(box.part);
    EnableWindow(GetDlgItem(dialog, box.id), held ? TRUE : FALSE);
    if (held) g_state.choices.partSelected[box.part] = 1;
    CheckBox(dialog, box.id, g_state.choices.partSelected[box.part]);
  }
}

// The dialog's defaults: drive C: (or the current drive), root "V92Demo", Setup and every part disc 1 is
// taken to hold (all but the sample projects), the title from the string table.
void InitOptionsDialog(HWND dialog) {
  SetCurrentDirectoryA("C:");  // prefer drive C:; if it cannot be made current the current drive stays

  char current[MAX_PATH] = "";
  const DWORD n = GetCurrentDirectoryA(sizeof current, current);
  const int number = n > 0 && n < sizeof current && current[1] == ':' ? DriveNumberOfLetter(current[0]) : 0;
  g_state.choices.targetDrive = number != 0 ? number : 3;
  const char field[3] = {static_cast<char>(64 + g_state.choices.targetDrive), ':', '\0'};
  SetDlgItemTextA(dialog, IDC_DRIVE_EDIT, field);  // runs the change handling like any edit

  memset(g_state.choices.rootName, 0, sizeof g_state.choices.rootName);
  strcpy(g_state.choices.rootName, "V92Demo");

  EnableWindow(GetDlgItem(dialog, IDC_HELP_BUTTON), FALSE);  // there is no help: it stays disabled
  g_state.choices.partSelected[kSetup] = 1;

  char title[kTextSize] = "";
  if (LoadStringA(g_state.windows.instance, IDS_DOWNLOAD_TITLE, title, sizeof title) > 0) SetWindowTextA(dialog, title);

  // Disc 1 is taken to hold every part but the sample projects, whatever the staged description later
  // adds: the copy step visits it for any of these parts.
  for (DiscEntry& disc : g_state.choices.discTable) memset(disc.present, 0, sizeof disc.present);
  for (int part = 0; part < kPartCount; ++part) g_state.choices.discTable[0].present[part] = part == kProjects ? 0 : 1;

  CheckBox(dialog, IDC_PART_SETUP, g_state.choices.partSelected[kSetup]);
  EnableWindow(GetDlgItem(dialog, IDOK), TRUE);
  EnableWindow(GetDlgItem(dialog, IDC_CHOOSE_DRIVE), TRUE);
  EnableWindow(GetDlgItem(dialog, IDC_DRIVE_EDIT), TRUE);
  UpdatePartCheckboxes(dialog);
}

// Runs the web installation dialog modally with the options locked. After a success the Program Manager
// conversation starts and 1 is returned (its end closes the installer); otherwise the options dialog is
// destroyed and 0 returned.
int RunWebInstallDialog(HWND dialog) {
  g_state.windows.optionsDialog = dialog;
  // From Install on, only Cancel stays: after a success the Program Manager conversation runs with this
  // dialog active again, and a drive or part changed then would rewrite what the group commands and the
  // start of the installed system read (targetDrive).
  for (int id : kLockedFromInstall) EnableWindow(GetDlgItem(dialog, id), FALSE);
  INT_PTR result = DialogBoxParamA(g_state.windows.instance, "WebLoadBox", dialog, WebLoadDialogProc, 0);
  // -1: the dialog could not be created at all, which is no success either.
  if (result == -1) result = 0;
  if (result != 0) {
    StartProgramManagerConversation(dialog, LaunchInstalledSystem);
    return static_cast<int>(result);
  }
  DestroyWindow(dialog);
  return 0;
}

}  // namespace

INT_PTR CALLBACK OptionsDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG:
      InitOptionsDialog(dialog);
      if (lParam) ApplyCommandLineToOptions(dialog, *reinterpret_cast<const CommandLine*>(lParam));
      SendDlgItemMessageA(dialog, IDC_DRIVE_EDIT, EM_LIMITTEXT, 3, 0);
      return TRUE;
    case WM_COMMAND:
      return OnCommand(dialog, LOWORD(wParam), HIWORD(wParam));
  }
  return FALSE;
}
