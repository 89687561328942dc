// Placing one window centred over another.
#pragma once
#include <windows.h>

void CentreOver(HWND reference, HWND window);
