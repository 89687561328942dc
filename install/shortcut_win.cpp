// Placeholder bodies so that the program links; replaced by the real implementation.
#include "install/shortcut_win.h"

int FindGroupName(const char*, char*, int) { return 1; }
void CreateDesktopShortcut() {}
int CreateShellLink(const char*, const char*, const char*, const char*) { return 0; }
