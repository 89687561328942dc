// The installation record and the small registry operations the other steps use.
#pragma once
#include <windows.h>

// The record (Software\QuarnSoft\<CadSystem>) is read and written in the 32-bit view of the registry, by
// the 64-bit build too: the installed system is a 32-bit program, and on 64-bit Windows its
// HKEY_LOCAL_MACHINE\Software is redirected to that view, where an uninstaller leaves its marks. A
// 64-bit build writing into its own view would leave a record nobody reads and never clear the marks.
// A 32-bit Windows has one view and ignores the flag.
constexpr REGSAM kRecordView = KEY_WOW64_32KEY;

void WriteInstallationRecord();

// 1 on success, else 0. view: 0 (the program's own view) or a KEY_WOW64_* flag.
int WriteRegistryString(HKEY root, const char* keyPath, const char* valueName, const char* text,
                        REGSAM view = 0);

int ReadRegistryValue(HKEY root, const char* keyPath, const char* valueName, char* buffer, DWORD size,
                      REGSAM view = 0);

int DeleteRegistryValue(HKEY root, const char* keyPath, const char* valueName, REGSAM view = 0);
