// Bounded text helpers. The installer works with fixed 256-byte buffers; these never write past the
// buffer, always terminate it (when it has room for the terminator) and tell whether the text fit.
#pragma once
#include <cstddef>
#include <cstdint>

// Copies src into dst (dstSize bytes). Returns true when the whole text fit; on false dst holds the
// longest prefix that fits.
bool CopyText(char* dst, size_t dstSize, const char* src);

// Appends src to the text already in dst. Returns true when the whole text fit; on false dst holds the
// old text plus the longest prefix of src that fits.
bool AppendText(char* dst, size_t dstSize, const char* src);

// True when text begins with prefix (byte for byte).
bool StartsWith(const char* text, const char* prefix);

// A decimal number by the description's rules: leading blanks, a sign, digits up to the first
// non-digit; no digits give 0. Saturates at the int64 range instead of overflowing.
int64_t ParseDecimal(const char* text);

#include <initializer_list>
#include <string>

// A text of the string table with its blanks filled: each "%s" or "%d" takes the next of values, in
// order ("%%" is a percent sign). The values are inserted as they are, never read as a format, so a
// name from outside ("%s%n") cannot change the text; a blank without a value is left out.
std::string FillText(const char* format, std::initializer_list<std::string> values);
