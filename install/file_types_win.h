// Registering the system's file types.
#pragma once
#include <windows.h>

void RegisterFileTypes();
