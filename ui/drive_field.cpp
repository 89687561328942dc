#include "ui/drive_field.h"

#include <cstring>

int DriveNumberOfLetter(char c) {
  if (c >= 'A' && c <= 'Z') return c - 'A' + 1;
  if (c >= 'a' && c <= 'z') return c - 'a' + 1;
  return 0;
}

char DriveLetterOfListEntry(const char* entry) {
  if (entry == nullptr) return 0;
  if (DriveNumberOfLetter(entry[0]) != 0) return entry[0];
  // Wine's form: "[-x-]"
  if (entry[0] == '[' && entry[1] == '-' && DriveNumberOfLetter(entry[2]) != 0 && entry[3] == '-') return entry[2];
  return 0;
}

DriveFieldChange ReduceDriveFieldChange(const char* fieldText, int selStart, int selEnd) {
  DriveFieldChange change{};
  const char* text = fieldText ? fieldText : "";
  const size_t length = strlen(text);
  char first = text[0];
  char second = length > 0 ? text[1] : '\0';
  if (selStart == selEnd && selStart > 0) {
    // The character just typed; a caret past the text (should not happen) counts as nothing typed.
    first = static_cast<size_t>(selStart) <= length ? text[selStart - 1] : '\0';
    second = '\0';
  }
  if (first == ':') return change;  // no check, field left as it is
  change.check = true;
  change.work[0] = first;
  change.work[1] = first == '\0' ? '\0' : ':';
  change.work[2] = '\0';
  // A field that already reads "x:..." stays as it is; the check looks at its first character only.
  if (second != ':') change.setField = strcmp(change.work, text) != 0;
  return change;
}
