// Where the installed system's main program lies, and how it is started. Portable.
#pragma once
#include <cstdint>
#include <string>

// "<drive>:\<root>\QuarnWin32\QuarnWin32.exe": the whole command line of the installed system, and the
// program's full path. The command line is not quoted and carries no arguments; the start names the
// program by this path as well, so that blanks in the root folder cannot make the platform start another
// program. Empty when the drive is not 1..26.
std::string InstalledSystemCommandLine(int32_t targetDrive, const char* rootName);
