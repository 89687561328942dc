// Lookup of a value by section and key in INI text held in memory (files read from the server).
// Byte for byte, case-sensitive, lines ended by CR LF only.
#pragma once

// Returns true when the section (empty key) or the key was found. value (valueSize bytes) receives the
// value, or "*" when the result is false or the key was empty.
bool FindIniValue(const char* section, const char* key, char* value, int valueSize, const char* text,
                  int textSize);
