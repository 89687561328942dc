// Reading the staged Install.ini with the profile-string reader.
#pragma once
#include <windows.h>

// Fills labels and adds presence flags to g_state.discTable from the staged Install.ini.
void LoadDiscTable();
