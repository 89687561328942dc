// The About box (template AboutBox).
#pragma once
#include <windows.h>

INT_PTR CALLBACK AboutBoxProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
