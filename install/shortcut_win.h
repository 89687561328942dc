// The desktop shortcut, named after the program group.
#pragma once
#include <windows.h>

// 0 when a group name was found and copied, 1 when there is none.
int FindGroupName(const char* iniPath, char* name, int size);

void CreateDesktopShortcut();

// 1 on success, 0 when the shell link object or its file interface is missing.
int CreateShellLink(const char* targetPath, const char* description, const char* workingFolder, const char* linkPath);
