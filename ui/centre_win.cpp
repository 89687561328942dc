#include "ui/centre_win.h"

#include "ui/centre_layout.h"

void CentreOver(HWND reference, HWND window) {
  RECT ref, own;
  if (!GetWindowRect(reference, &ref) || !GetWindowRect(window, &own)) return;
  int width = own.right - own.left;
  int height = own.bottom - own.top;
  CentredPosition at = CentreOverPosition(ref.left, ref.top, ref.right, ref.bottom, width, height);
  MoveWindow(window, at.left, at.top, width, height, TRUE);
}
