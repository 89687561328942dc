// The desktop shortcut, named after the program group.
#pragma once
#include <windows.h>

// True when a group name was found and copied into name; false (name empty) when there is none.
bool FindGroupName(const char* iniPath, char* name, int size);

void CreateDesktopShortcut();

// True when the link was saved; false when the shell link object or its file interface is missing or the
// save failed.
bool CreateShellLink(const char* targetPath, const char* description, const char* workingFolder, const char* linkPath);
