// Placeholder bodies so that the program links; replaced by the real implementation.
#include "app/worker_win.h"

DWORD WINAPI RunInstallation(LPVOID) { return 0; }
