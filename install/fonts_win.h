// Adding and registering the system's fonts.
#pragma once
#include <windows.h>

void InstallFonts();
