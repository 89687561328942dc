// Reading the staged Install.ini (and the disc file lists) with the profile-string reader.
#pragma once
#include <windows.h>

#include <cstddef>

// Fills labels and adds presence flags to g_state.choices.discTable from the staged Install.ini
// (g_state.paths.descriptionPath). Presence flags are only ever set, never cleared: the options dialog's marks
// for disc 1 stay. A missing or unreadable file leaves every label empty.
void LoadDiscTable();

// Reads one value of a description file the way every installation step does: default "*", at most 255
// characters (longer values are cut by the reader), `out` always terminated. Returns true when the value
// is present (does not begin with '*'); on false `out` holds the raw text read ("*" for a missing key).
// `size` is the size of `out` in bytes (at most 256 are used).
bool ReadProfileValue(const char* iniPath, const char* section, const char* key, char* out, size_t size);

// The same for the staged Install.ini at g_state.paths.descriptionPath.
bool ReadDescriptionValue(const char* section, const char* key, char* out, size_t size);
