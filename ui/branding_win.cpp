// The branding panel: the maker's contact lines at the left, the title block at the right and the logo at
// the lower right are drawn into the background bitmap once, so that painting is a single blit.
#include "ui/branding_win.h"

#include <cstring>

#include "state/install_state_win.h"
#include "base/scoped_handle_win.h"
#include "base/text.h"

BrandingBitmap g_branding = {nullptr, kPanelDefaultWidth, kPanelDefaultHeight};

bool ReadBitmapSize(HBITMAP bitmap, int* width, int* height) {
  BITMAP header;
  memset(&header, 0, sizeof header);
  bool ok = bitmap != nullptr && GetObjectA(bitmap, sizeof header, &header) == sizeof header;
  PanelSize size = EffectivePanelSize(ok, header.bmWidth, header.bmHeight);
  *width = size.width;
  *height = size.height;
  return ok && size.width == header.bmWidth && size.height == header.bmHeight;
}

void LoadBrandingBitmap(HINSTANCE instance) {
  FreeBrandingBitmap();
  g_branding.bitmap = LoadBitmapA(instance, "QuarnWin");
  if (!ReadBitmapSize(g_branding.bitmap, &g_branding.width, &g_branding.height) && g_branding.bitmap) {
    // A bitmap whose size cannot be read cannot be composed or painted sensibly: treat it as missing.
    DeleteObject(g_branding.bitmap);
    g_branding.bitmap = nullptr;
  }
}

void FreeBrandingBitmap() {
  if (g_branding.bitmap) DeleteObject(g_branding.bitmap);
  g_branding.bitmap = nullptr;
}

BYTE PanelCharset() {
  // The panel texts are bytes of the ANSI code page (1250 for Hungarian), and TextOutA reads its bytes in
  // the code page of the selected font's character set. ANSI_CHARSET would mean code page 1252 on every
  // system and turn "ő" into "õ" and "ű" into "û", so the font asks for the ANSI code page's own set.
  CHARSETINFO info;
  UINT_PTR codePage = GetACP();
  if (TranslateCharsetInfo(reinterpret_cast<DWORD*>(codePage), &info, TCI_SRCCODEPAGE)) {
    return static_cast<BYTE>(info.ciCharset);
  }
  return DEFAULT_CHARSET;
}

HFONT MakePanelFont(const PanelTextItem& item) {
  LOGFONTA font;
  memset(&font, 0, sizeof font);
  font.lfHeight = item.fontHeight;
  font.lfWidth = item.fontWidth;
  font.lfWeight = item.weight;
  font.lfItalic = item.italic ? 1 : 0;
  font.lfCharSet = PanelCharset();
  font.lfOutPrecision = OUT_TT_ONLY_PRECIS;
  font.lfClipPrecision = CLIP_DEFAULT_PRECIS;
  font.lfQuality = PROOF_QUALITY;
  CopyText(font.lfFaceName, sizeof font.lfFaceName, item.face);
  return CreateFontIndirectA(&font);
}

void DrawPanelText(HDC dc, int width, int height, const PanelTextItem& item, const char* text) {
  ScopedGdiObject font(MakePanelFont(item));
  ScopedSelect selected(dc, font.get());
  SetBkMode(dc, TRANSPARENT);
  SetTextAlign(dc, item.align == PanelAlign::kCentreTop ? TA_CENTER | TA_TOP : TA_LEFT | TA_TOP);
  SetTextColor(dc, RGB(item.red, item.green, item.blue));
  PanelPoint at = PanelTextPosition(width, height, item.xPerMille, item.yPerMille);
  TextOutA(dc, at.x, at.y, text, static_cast<int>(strlen(text)));
  // `selected` puts the previous font back before `font` deletes the created one.
}

namespace {
// The text of one item: a string table entry (at most 127 characters), a literal or the version text.
void ItemText(const PanelTextItem& item, const char* version, char (&buf)[kPanelTextSize]) {
  buf[0] = '\0';
  switch (item.source) {
    case PanelTextSource::kString:
      LoadStringA(g_state.windows.instance, static_cast<UINT>(item.stringId), buf, sizeof buf);
      break;
    case PanelTextSource::kLiteral:
      CopyText(buf, sizeof buf, item.text);
      break;
    case PanelTextSource::kVersion:
      CopyText(buf, sizeof buf, version);
      break;
  }
}

void DrawItems(HDC dc, int width, int height, size_t first, size_t end, const char* version) {
  for (size_t i = first; i < end; ++i) {
    char text[kPanelTextSize];
    ItemText(kPanelItems[i], version, text);
    DrawPanelText(dc, width, height, kPanelItems[i], text);
  }
}

// ANDs the logo into the background so that it darkens whatever lies under it (texts included).
void CombineLogo(HDC memoryDc, HDC windowDc, int width, int height) {
  ScopedGdiObject logo(LoadBitmapA(g_state.windows.instance, "QuarnBas"));
  if (!logo) return;
  BITMAP header;
  memset(&header, 0, sizeof header);
  if (GetObjectA(logo.get(), sizeof header, &header) != sizeof header) return;
  ScopedMemDc logoDc(CreateCompatibleDC(windowDc));
  if (!logoDc) return;
  ScopedSelect selected(logoDc.get(), logo.get());
  PanelPoint at = LogoTopLeft(width, height, header.bmWidth, header.bmHeight);
  BitBlt(memoryDc, at.x, at.y, header.bmWidth, header.bmHeight, logoDc.get(), 0, 0, SRCAND);
}
}  // namespace

void DrawTitleBlock(HDC memoryDc, HDC windowDc, int width, int height) {
  char version[16];
  BuildVersionText(version, sizeof version);
  DrawItems(memoryDc, width, height, kLeftColumnItemCount, kPanelItemCount, version);
  CombineLogo(memoryDc, windowDc, width, height);
}

void ComposePanelInto(HDC windowDc, HBITMAP background, int width, int height) {
  if (!background) return;
  ScopedMemDc memoryDc(CreateCompatibleDC(windowDc));
  if (!memoryDc) return;
  ScopedSelect selected(memoryDc.get(), background);
  SetBkMode(memoryDc.get(), TRANSPARENT);
  DrawItems(memoryDc.get(), width, height, 0, kLeftColumnItemCount, "");
  DrawTitleBlock(memoryDc.get(), windowDc, width, height);
}

void ComposeBrandingPanel(HWND mainWindow) {
  if (!g_branding.bitmap) return;
  ScopedWindowDc windowDc(mainWindow);
  ComposePanelInto(windowDc.get(), g_branding.bitmap, g_branding.width, g_branding.height);
}

void PaintMainWindow(HWND mainWindow) {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(mainWindow, &ps);
  if (dc && g_branding.bitmap) {
    ScopedMemDc memoryDc(CreateCompatibleDC(dc));
    if (memoryDc) {
      ScopedSelect selected(memoryDc.get(), g_branding.bitmap);
      BitBlt(dc, kPanelPaintOffset, kPanelPaintOffset, g_branding.width, g_branding.height, memoryDc.get(), 0,
             0, SRCCOPY);
    }
  }
  EndPaint(mainWindow, &ps);
}
