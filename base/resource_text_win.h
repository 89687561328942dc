// A text of the program's string table, whatever its length (the help box is longer than the 256-byte
// buffers the older boxes load into).
#pragma once
#include <windows.h>

#include <string>

// The text of id as LoadStringA gives it (code page 1250 under the Hungarian locale); empty when the
// table has no such entry.
std::string LoadResourceText(HINSTANCE instance, UINT id);
