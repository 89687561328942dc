// Where the program's DLLs come from. The installer is started from wherever the user saved it, usually the
// Downloads folder, where a web page can leave a DLL named like one Windows would otherwise look for beside
// the program. The import table names only KnownDLLs (always mapped from the system folder); every other DLL
// is delay-loaded (cmake/delay_import.cmake) and, like anything Windows loads on the program's behalf, comes
// from the system folder only once this has run.
#pragma once

// Restricts the DLL search of this process to the system folder (SetDefaultDllDirectories: Windows 8, and
// Vista/7 with its update; else at least the current folder leaves the search), and has every delay-loaded
// DLL loaded by its full path in the system folder. Called first in WinMain, before any delay-loaded
// function is used. Returns true when the process-wide restriction is in force.
bool RestrictDllSearchToSystemFolder();
