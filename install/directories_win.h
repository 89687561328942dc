// Creating the system's folders from the staged description.
#pragma once
#include <windows.h>

void CreateSystemDirectories();
