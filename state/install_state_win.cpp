#include "state/install_state_win.h"

InstallState g_state;

void ResetInstallState() { g_state = InstallState{}; }
