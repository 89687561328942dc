// The worker thread that runs the whole installation in order.
#pragma once
#include <windows.h>

DWORD WINAPI RunInstallation(LPVOID unused);
