// Closing the installer and starting the installed system.
#pragma once
#include <windows.h>

void LaunchInstalledSystem();
