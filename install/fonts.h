// Where a font named in the description lives and where it is registered.
#pragma once
#include <cstddef>

// Registry key (below HKEY_LOCAL_MACHINE) of the fonts Windows loads at every start.
constexpr const char* kFontsKey = "Software\\Microsoft\\Windows NT\\CurrentVersion\\Fonts";

// True when fontFile names a file inside the fonts folder: not empty, not absolute, no drive, and no
// ".." component, so that a description cannot make the installer load or register a font from
// anywhere else.
bool IsFontFileInsideFontsFolder(const char* fontFile);

// windowsFolder + "\Fonts\" + fontFile into out. False when the name leaves the fonts folder or the path
// does not fit.
bool BuildFontPath(const char* windowsFolder, const char* fontFile, char* out, size_t size);
