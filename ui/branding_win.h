// The branding panel of the main window: composed once into the background bitmap.
#pragma once
#include <windows.h>

#include "ui/panel_layout.h"

// The main window's background: bitmap resource QuarnWin and its size. Loaded at start-up, composed once
// when the main window is created, painted on every WM_PAINT and deleted when the main window goes.
struct BrandingBitmap {
  HBITMAP bitmap;  // nullptr when the resource could not be loaded
  int width;       // the bitmap's own size, or the default panel size when there is no bitmap
  int height;
};
extern BrandingBitmap g_branding;

// Loads bitmap resource QuarnWin into g_branding. A missing resource is not an error the user can act on:
// the main window then keeps the default size with its plain grey background, and the installer works
// as usual.
void LoadBrandingBitmap(HINSTANCE instance);

// Deletes the background bitmap (main window's WM_DESTROY).
void FreeBrandingBitmap();

// Size of a bitmap from its own header (GetObjectA). A null or unreadable handle gives the default panel
// size and false.
bool ReadBitmapSize(HBITMAP bitmap, int* width, int* height);

// Draws the texts and the logo into g_branding.bitmap, once, at the main window's WM_CREATE. Does nothing
// without a bitmap.
void ComposeBrandingPanel(HWND mainWindow);

// Composes the panel into any background bitmap of size width x height (not selected into any context).
// windowDc: the context the memory contexts are made compatible with. Texts and logo come from the
// resources of g_state.windows.instance.
void ComposePanelInto(HDC windowDc, HBITMAP background, int width, int height);

// The title block (items after the left column) and the logo, drawn into memoryDc, which holds the
// background of size width x height.
void DrawTitleBlock(HDC memoryDc, HDC windowDc, int width, int height);

// One text item at its position on a width x height background, in the item's own font, colour and
// alignment, with a transparent background.
void DrawPanelText(HDC dc, int width, int height, const PanelTextItem& item, const char* text);

// The character set of the ANSI code page the panel texts are written in (EASTEUROPE_CHARSET under code
// page 1250), DEFAULT_CHARSET when the code page has none.
BYTE PanelCharset();

// The item's font (caller deletes it): the item's face, width, height, weight and italic flag, TrueType
// only, proof quality, in PanelCharset().
HFONT MakePanelFont(const PanelTextItem& item);

// One copy of the composed bitmap to (2, 2) of the client area. Nothing is drawn without a bitmap (the
// class background stays), but the update region is always validated.
void PaintMainWindow(HWND mainWindow);
