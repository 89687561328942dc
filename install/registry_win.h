// The installation record and the small registry operations the other steps use.
#pragma once
#include <windows.h>

void WriteInstallationRecord();

// 1 on success, else 0.
int WriteRegistryString(HKEY root, const char* keyPath, const char* valueName, const char* text);

int ReadRegistryValue(HKEY root, const char* keyPath, const char* valueName, char* buffer, DWORD size);

int DeleteRegistryValue(HKEY root, const char* keyPath, const char* valueName);
