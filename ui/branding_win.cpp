// Placeholder bodies so that the program links; replaced by the real implementation.
#include "ui/branding_win.h"

void ComposeBrandingPanel(HWND) {}
void PaintMainWindow(HWND) {}
