// Placeholder bodies so that the program links; replaced by the real implementation.
#include "install/directories_win.h"

void CreateSystemDirectories() {}
