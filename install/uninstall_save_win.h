// The end of a run that may have written files: the uninstall list of what it made, the installer's copy
// and the uninstall entry.
#pragma once
#include <string>

// Writes the list recorded so far (install/uninstall_record_win.h) into the program folder, merged with the
// list of an earlier installation there, copies the running installer beside it and registers the
// uninstall entry. The run's description gives the system's name, version and group. True when the list
// was written.
bool SaveUninstallRecord();

// The installer's copy in the program folder.
constexpr char kInstallerCopyName[] = "QuarnWebInstall.exe";
