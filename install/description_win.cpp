// Placeholder bodies so that the program links; replaced by the real implementation.
#include "install/description_win.h"

void LoadDiscTable() {}
