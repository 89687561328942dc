// The Hungarian texts of the command line and of the uninstaller, as code page 1250 bytes. Names that
// come from outside (a switch as typed, a system name, a kept file) are only ever appended to these
// texts, never used as a format.
#pragma once
#include <string>
#include <vector>

#include "app/command_line.h"

// The help box of /?.
extern const char kHelpText[];

// "Biztosan eltávolítja a(z) <systemName> rendszert és minden összetevőjét?" (Yes/No).
std::string UninstallQuestion(const char* systemName);

// The box for a bad command line: what is wrong, the switch or name it is about, and a pointer to /?.
std::string CommandLineErrorText(const CommandLine& line);

// The end of an interactive removal: done, and the files kept because they changed since installing.
std::string UninstallDoneText(const std::vector<std::string>& keptFiles);

// "Nincs eltávolítható telepítés." (nothing to remove: no list of what an installation created).
extern const char kNothingToUninstallText[];

// The list of what the installation created differs from the one it wrote (its SHA-256 is kept in the
// uninstall entry): nothing is removed.
extern const char kUninstallListRefusedText[];
