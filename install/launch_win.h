// Closing the installer and starting the installed system.
#pragma once
#include <windows.h>

// The last step of a successful run, reached from the Program Manager conversation: releases the block
// of the last command, destroys the main window (which ends the program once the current message is
// handled) and, when startAfterInstall is set, starts the installed system without waiting for it. A
// failed start only beeps.
void LaunchInstalledSystem();
