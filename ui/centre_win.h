// Placing one window centred over another.
#pragma once
#include <windows.h>

// Moves window (keeping its size, repainting) so that it is centred over reference; a position that
// would be negative on an axis becomes 0 there. Does nothing when either handle is not a window.
void CentreOver(HWND reference, HWND window);
