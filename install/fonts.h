// Where a font named in the description lives and where it is registered.
#pragma once
#include <cstddef>

#include "layout/install_layout.h"

// Registry key (below HKEY_LOCAL_MACHINE) of the fonts Windows loads at every start.
constexpr const char* kFontsKey = "Software\\Microsoft\\Windows NT\\CurrentVersion\\Fonts";

// The font paths and their rule are in layout/install_layout.h (BuildFontPath).
