// The installation record and the small registry operations the other steps use.
#pragma once
#include <windows.h>

// The record (Software\QuarnSoft\<CadSystem>) is read and written in the 32-bit view of the registry, by
// the 64-bit build too: the installed system is a 32-bit program, and on 64-bit Windows its
// HKEY_LOCAL_MACHINE\Software is redirected to that view, where an uninstaller leaves its marks. A
// 64-bit build writing into its own view would leave a record nobody reads and never clear the marks.
// A 32-bit Windows has one view and ignores the flag.
constexpr REGSAM kRecordView = KEY_WOW64_32KEY;

// Writes the installation record HKLM\Software\QuarnSoft\<CadSystem> (kRecordView) from the description's
// section System: "SubSystem", "System Version", "Installed Time" (UTC), "Installed Path" (the run's root
// folder), "Installed By" (kept as it was when the user name is unknown); an uninstaller's "UnInstalled By"
// and "UnInstalled Time" are removed when "UnInstalled By" is there. Stops at the first of CadSystem,
// SubSystem and Version that is absent or empty (what was written before it stays). Failures are logged,
// never shown: the record is for the installed system, not for the user.
void WriteInstallationRecord();

// The small registry operations. Each returns the result of the Reg* call that decided it: ERROR_SUCCESS,
// or the error number of the call that failed (opening or creating the key, or the value's own call), so
// that a caller can tell "not there" (ERROR_FILE_NOT_FOUND) from "refused" (ERROR_ACCESS_DENIED) and a
// log can name the number. view: 0 (the program's own view) or a KEY_WOW64_* flag.
//
// A string written below HKEY_LOCAL_MACHINE is logged and, once written, listed for the uninstaller.
LONG RegWriteString(HKEY root, const char* keyPath, const char* valueName, const char* text, REGSAM view = 0);
// A DWORD value, logged; not listed (the uninstall entry's values go with its key).
LONG RegWriteDword(HKEY root, const char* keyPath, const char* valueName, DWORD value, REGSAM view = 0);
// A string value into buffer, always terminated. ERROR_MORE_DATA when it does not fit; on any failure the
// buffer holds "".
LONG RegReadString(HKEY root, const char* keyPath, const char* valueName, char* buffer, DWORD size,
                   REGSAM view = 0);
LONG RegRemoveValue(HKEY root, const char* keyPath, const char* valueName, REGSAM view = 0);

// The same operations for callers that only need to know whether it worked: true when it did.
bool WriteRegistryString(HKEY root, const char* keyPath, const char* valueName, const char* text,
                         REGSAM view = 0);

bool ReadRegistryValue(HKEY root, const char* keyPath, const char* valueName, char* buffer, DWORD size,
                       REGSAM view = 0);

bool DeleteRegistryValue(HKEY root, const char* keyPath, const char* valueName, REGSAM view = 0);
