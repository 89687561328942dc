// The About box: template AboutBox, closed with OK, Esc or its close box (the last two arrive as
// IDCANCEL), always with result 1.
#include "ui/about_box_win.h"

INT_PTR CALLBACK AboutBoxProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG:
      return TRUE;
    case WM_COMMAND:
      switch (LOWORD(wParam)) {
        case IDOK:
        case IDCANCEL:
          EndDialog(dialog, 1);
          return TRUE;
        default:
          return FALSE;
      }
    default:
      return FALSE;
  }
}
