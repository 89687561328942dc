// The command line: switches for unattended installation and for removal. Parsed into data; a switch or
// value the program does not know is an error value, never acted on (nothing is done then).
//
//   /?                 the help box
//   /S                 silent: no window of ours; every question gets its default answer
//   /DRIVE=X           the target drive (X, X: or X:\)
//   /PARTS=a,b,...     the optional parts: Drawings, Blocks, Datas, Help (Setup and Systems are always
//                      installed and may be named); empty: none of them. Projects is refused: the
//                      options dialog shows it unchecked and disabled, never chosen
//   /NOSTART           do not start the installed system
//   /LOG=path          a copy of the installation log at this path too
//   /UNINSTALL         remove the installed system
//
// Switch names are case-insensitive; values are taken as written. Blanks separate switches; double quotes
// group blanks into a value (/LOG="C:\Log files\q.log") and are removed. Each switch may be given once.
#pragma once
#include <cstdint>

#include "layout/description.h"

enum class CommandLineError {
  kNone,
  kUnknownSwitch,    // not one of the switches above (or not beginning with '/')
  kMissingValue,     // /DRIVE, /LOG without "=value"
  kUnexpectedValue,  // a switch without a value given one (/S=1)
  kBadDrive,         // not a single letter A-Z, optionally followed by ":" or ":\"
  kUnknownPart,      // a name in /PARTS that is not a part
  kPartNotOffered,   // Projects in /PARTS: the options dialog never lets it be chosen
  kRepeated,         // the same switch twice
  kTooLong,          // a value that does not fit the program's 256-byte buffers
  kConflict,         // /UNINSTALL with an installation switch (/DRIVE, /PARTS, /NOSTART)
};

struct CommandLine {
  bool any;        // at least one switch was given (a run with switches reports its end by exit code)
  bool help;       // /?
  bool silent;     // /S
  bool noStart;    // /NOSTART
  bool uninstall;  // /UNINSTALL
  int32_t drive;   // /DRIVE: 1 = A ... 26 = Z; 0 when not given
  bool partsGiven;                 // /PARTS was given; then parts[] holds the choice
  int32_t parts[kPartCount];       // 1 for each part named (Setup and Systems always 1 when partsGiven)
  char logPath[kTextSize];         // /LOG value; empty when not given
  CommandLineError error;          // the first problem met; the other fields are not to be used then
  char errorToken[kTextSize];      // the switch or part name the problem is about (cut to fit)
};

// Parses the text after the program name (WinMain's command line). Never fails otherwise; `out` is always
// filled.
void ParseCommandLine(const char* text, CommandLine* out);

// The English name of an error, for the log.
const char* CommandLineErrorName(CommandLineError error);
