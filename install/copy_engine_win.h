// The file copy engine: staged set -> installed files.
#pragma once
#include <windows.h>

// 0 when every disc was handled, 1 when the installation is to stop.
int CopySelectedParts(HWND window);

int CopyDiscFiles();
