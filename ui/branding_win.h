// The branding panel of the main window: composed once into the background bitmap.
#pragma once
#include <windows.h>

void ComposeBrandingPanel(HWND mainWindow);

void PaintMainWindow(HWND mainWindow);
