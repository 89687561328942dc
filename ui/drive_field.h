// The text side of the target drive: drive letters in the drive field and in the chooser's drive list,
// and how an edit of the drive field is reduced to the text that gets checked. Portable, no Win32.
#pragma once
#include <cstddef>

// 1 for 'A'/'a' through 26 for 'Z'/'z'; 0 for anything else (digits, blanks, accented letters).
int DriveNumberOfLetter(char c);

// The drive letter of an entry of the common dialog's drive list, as written (either case), or 0.
// Windows writes entries that begin with the letter ("c: [SYSTEM]"); Wine writes "[-c-]". Both forms
// are accepted; anything else (empty, a digit, an accented letter) gives 0.
char DriveLetterOfListEntry(const char* entry);

// What one change of the drive field (EN_CHANGE) leads to.
struct DriveFieldChange {
  char work[4];   // the text to show and check: a letter (or whatever was typed) and ':'
  bool setField;  // put `work` into the field first (its own change is then ignored by the guard)
  bool check;     // run the drive check on the field
};

// Reduces the field's text after a change. When the caret stands right after a character (an empty
// selection not at 0), that character was just typed and alone counts. A leading ':' means no check.
// Otherwise the field becomes that character followed by ':' unless it already reads so, and the check
// runs. selStart/selEnd are the field's selection (EM_GETSEL) in characters.
DriveFieldChange ReduceDriveFieldChange(const char* fieldText, int selStart, int selEnd);
