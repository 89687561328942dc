// The program's exit codes: one per way a run can end, defined here and nowhere else. The README's table
// lists the same codes (a unit test keeps them apart; tests/e2e reads them from the program's runs).
//
// A run started without switches ends with 0 at every end, as the program always did: a user who
// double-clicks it has seen every end on the screen already. A run with any switch (silent, unattended,
// uninstall) ends with the code of its end, because the script that started it has no other way to know.
#pragma once

enum class ExitCode : int {
  kInstalled = 0,            // installed (or removed, for /UNINSTALL), or the help was shown
  kCancelled = 1,            // Cancel, a disc prompt given up, or the uninstall question answered No
  kNoConnection = 2,         // neither host answered the probe
  kDescriptionMissing = 3,   // Install.ini or its root folder name is missing or unusable
  kPathTooLong = 4,          // a path the run needed does not fit its buffer; nothing written
  kFileFailed = 5,           // a file of the set could not be downloaded; nothing installed
  kFileUnverified = 6,       // a downloaded file failed its verification
  kNotEnoughSpace = 7,       // the target drive has too little free space for the selected parts
  kInstalledWithErrors = 8,  // installed, but a copy step reported an error (answered as OK does)
  kBadCommandLine = 9,       // an unknown switch or a bad value; nothing was done
  kNotInstalled = 10,        // /UNINSTALL found no list of what an installation created
  kStartFailed = 11,         // the program could not set itself up (no window, no memory)
  kFileInUse = 12,           // a target stayed held by another program and the box was answered Cancel
  kUninstallListRefused = 13,  // /UNINSTALL: the list differs from the one the installation wrote
};

struct ExitCodeInfo {
  ExitCode code;
  const char* name;     // short English name, used in the log's end line
  const char* meaning;  // one line, as the README's table gives it
};

// Every code, in numeric order.
extern const ExitCodeInfo kExitCodes[];
extern const int kExitCodeCount;

// The table entry of a code; nullptr for a number that is not one of ours.
const ExitCodeInfo* FindExitCode(int code);
