// The file copy engine: staged set -> installed files.
#pragma once
#include <windows.h>

#include "ui/web_display_win.h"

// True when every disc was handled; false when the installation is to stop (a disc prompt refused: the
// display's dialog is then asked to cancel). First the installed system's program file is opened to see
// whether a running system holds it: the user is asked to close it (Retry/Cancel). A target another
// program holds is tried again for up to 10 s, then the same box names it. Shows each file, its percentage, activity frames and the
// bar through display, whose dialog also owns the boxes.
bool CopySelectedParts(WebDisplay& display);

// True when the last copy stopped because a staged file no longer matched the set's hash data (its box was
// shown; nothing of that file was written): the run ends as for a damaged download.
bool CopyFoundDamagedFile();

// True when the last copy stopped because a file stayed held by another program and its box was answered
// Cancel (in a silent run: at once after the wait): the interrupted end, what was copied stays recorded.
bool CopyFoundFileInUse();

// Clears one attribute bit of a file, keeping the others. True when the file no longer has it.
bool ClearFileAttribute(const char* path, DWORD attribute);
