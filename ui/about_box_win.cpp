// Placeholder bodies so that the program links; replaced by the real implementation.
#include "ui/about_box_win.h"

INT_PTR CALLBACK AboutBoxProc(HWND, UINT, WPARAM, LPARAM) { return FALSE; }
