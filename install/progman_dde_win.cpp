// Placeholder bodies so that the program links; replaced by the real implementation.
#include "install/progman_dde_win.h"

void StartProgramManagerConversation(HWND) {}
void SendNextProgramManagerCommand() {}
