// The texts of the command line and of the uninstaller are in the string table (code page 1250); this
// picks which one a situation shows and fills it. Names that come from outside (a switch as typed, a
// system name, a kept file) are only ever inserted as text, never used as a format.
#pragma once
#include <string>
#include <vector>

#include "app/command_line.h"

// The string table id of the box for a bad command line: what is wrong, with a "%s" for the switch or
// name it is about (none for the /UNINSTALL conflict), and a pointer to /?. 0 for a good line.
int CommandLineErrorTextId(CommandLineError error);

// The box for a bad command line from its text (the id above, loaded): the switch or name filled in.
std::string CommandLineErrorText(const CommandLine& line, const char* format);

// The uninstaller's question (Yes/No) from its text (IDS_UNINSTALL_QUESTION) and the system's name.
std::string UninstallQuestion(const char* format, const char* systemName);

// The end of an interactive removal: doneText (IDS_UNINSTALL_DONE) when nothing was kept, else
// keptText (IDS_UNINSTALL_DONE_KEPT) and the files kept because they changed since installing.
std::string UninstallDoneText(const char* doneText, const char* keptText, const std::vector<std::string>& keptFiles);
