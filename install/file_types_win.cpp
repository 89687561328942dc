// Placeholder bodies so that the program links; replaced by the real implementation.
#include "install/file_types_win.h"

void RegisterFileTypes() {}
