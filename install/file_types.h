// The registry entries of one file type of the description, as data. file_types_win.cpp writes them.
#pragma once
#include "layout/description.h"

// One default (unnamed) string value below HKEY_LOCAL_MACHINE.
struct DefaultValueWrite {
  char keyPath[kTextSize];
  char text[kTextSize];
};

constexpr int kMaxFileTypeWrites = 4;

// The writes of one entry, in the order they are made: the extension key, the class key, the open
// command (only with exeFile) and the icon (only with exeFile and iconFile). exeFile and iconFile are
// nullptr when the description lacks them. programFolder is the installed "X:\root\QuarnWin32\".
// A write whose key path or text would not fit its buffer is left out rather than cut: a cut class name
// or command would register something other than the description says.
// The open command is the program folder joined with exeFile; where the folder holds a blank, the
// program's path (the folder and exeFile up to its first blank) is written in quotes.
// Returns the number of writes put into out.
int PlanFileTypeWrites(const char* programFolder, const char* extension, const char* className,
                       const char* exeFile, const char* iconFile, DefaultValueWrite out[kMaxFileTypeWrites]);

