// The file copy engine: staged set -> installed files.
#pragma once
#include <windows.h>

#include "ui/web_display_win.h"

// 0 when every disc was handled, 1 when the installation is to stop (a disc prompt refused: the
// display's dialog is then asked to cancel). Shows each file, its percentage, activity frames and the
// bar through display, whose dialog also owns the boxes.
int CopySelectedParts(WebDisplay& display);

// Copies the selected parts of disc discIndex (0..14). 1 when a copy error box was answered with Cancel.
int CopyDiscFiles(WebDisplay& display, int discIndex);

// Clears one attribute bit of a file, keeping the others. True when the file no longer has it.
bool ClearFileAttribute(const char* path, DWORD attribute);
