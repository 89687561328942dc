// The file copy engine: staged set -> installed files.
#pragma once
#include <windows.h>

// 0 when every disc was handled, 1 when the installation is to stop.
int CopySelectedParts(HWND window);

// Copies the selected parts of disc discIndex (0..14). 1 when a copy error box was answered with Cancel.
int CopyDiscFiles(int discIndex);

// Clears one attribute bit of a file, keeping the others. True when the file no longer has it.
bool ClearFileAttribute(const char* path, DWORD attribute);
