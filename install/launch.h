// Where the installed system's main program lies, and how it is started. Portable.
#pragma once
#include <cstdint>
#include <string>

// "<drive>:\<root>\QuarnWin32\QuarnWin32.exe": the whole command line of the installed system. The path
// is not quoted and carries no arguments: with blanks in the root folder the platform resolves the
// program by trying the blank-separated prefixes in turn. Empty when the drive is not 1..26.
std::string InstalledSystemCommandLine(int32_t targetDrive, const char* rootName);
