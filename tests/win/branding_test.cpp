// The branding panel drawn with the real GDI: fonts, the code page of the texts, composition into
// backgrounds of other sizes, the logo's AND, painting, and a missing background bitmap.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <utility>
#include <vector>

#include "state/install_state_win.h"
#include "ui/branding_win.h"
#include "ui/panel_layout.h"

namespace {

// A bitmap's pixels as 0x00RRGGBB, top-down.
struct Pixels {
  int width = 0;
  int height = 0;
  std::vector<uint32_t> data;
  uint32_t at(int x, int y) const { return data[static_cast<size_t>(y) * width + x]; }
};

Pixels ReadPixels(HBITMAP bitmap) {
  BITMAP header;
  memset(&header, 0, sizeof header);
  GetObjectA(bitmap, sizeof header, &header);
  Pixels p;
  p.width = header.bmWidth;
  p.height = header.bmHeight;
  p.data.assign(static_cast<size_t>(p.width) * p.height, 0);
  BITMAPINFO info;
  memset(&info, 0, sizeof info);
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = p.width;
  info.bmiHeader.biHeight = -p.height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  HDC screen = GetDC(nullptr);
  GetDIBits(screen, bitmap, 0, p.height, p.data.data(), &info, DIB_RGB_COLORS);
  ReleaseDC(nullptr, screen);
  for (uint32_t& v : p.data) v &= 0xFFFFFF;  // BGRA in memory is 0x00RRGGBB as a little-endian word
  return p;
}

constexpr uint32_t Rgb(int r, int g, int b) { return (uint32_t(r) << 16) | (uint32_t(g) << 8) | uint32_t(b); }
constexpr uint32_t kWhite = Rgb(255, 255, 255);
constexpr uint32_t kTitleBlue = Rgb(22, 132, 198);
constexpr uint32_t kDarkRed = Rgb(128, 0, 0);
constexpr uint32_t kShadowGrey = Rgb(112, 112, 112);
constexpr uint32_t kBlack = 0;

// A screen-compatible bitmap of the given size filled with one colour.
HBITMAP FilledBitmap(int w, int h, COLORREF colour) {
  HDC screen = GetDC(nullptr);
  HBITMAP b = CreateCompatibleBitmap(screen, w, h);
  HDC dc = CreateCompatibleDC(screen);
  HGDIOBJ old = SelectObject(dc, b);
  HBRUSH brush = CreateSolidBrush(colour);
  RECT r = {0, 0, w, h};
  FillRect(dc, &r, brush);
  DeleteObject(brush);
  SelectObject(dc, old);
  DeleteDC(dc);
  ReleaseDC(nullptr, screen);
  return b;
}

HBITMAP ComposedWhite(int w, int h) {
  HBITMAP b = FilledBitmap(w, h, RGB(255, 255, 255));
  HDC screen = GetDC(nullptr);
  ComposePanelInto(screen, b, w, h);
  ReleaseDC(nullptr, screen);
  return b;
}

struct Box {
  int left = INT32_MAX, top = INT32_MAX, right = -1, bottom = -1;
  int count = 0;
};

// Bounding box of the pixels of one colour inside [x0, x1) x [y0, y1).
Box Find(const Pixels& p, uint32_t colour, int x0, int y0, int x1, int y1) {
  Box b;
  for (int y = y0; y < y1 && y < p.height; ++y) {
    for (int x = x0; x < x1 && x < p.width; ++x) {
      if (p.at(x, y) != colour) continue;
      ++b.count;
      if (x < b.left) b.left = x;
      if (y < b.top) b.top = y;
      if (x > b.right) b.right = x;
      if (y > b.bottom) b.bottom = y;
    }
  }
  return b;
}

class Branding : public ::testing::Test {
 protected:
  void SetUp() override { g_state.windows.instance = GetModuleHandleA(nullptr); }
  void TearDown() override { FreeBrandingBitmap(); }
};

}  // namespace

TEST_F(Branding, FontFollowsTheItemInTheAnsiCodePagesCharacterSet) {
  ASSERT_EQ(GetACP(), 1250u);
  for (const PanelTextItem& item : kPanelItems) {
    HFONT font = MakePanelFont(item);
    ASSERT_NE(font, nullptr);
    LOGFONTA lf;
    ASSERT_EQ(GetObjectA(font, sizeof lf, &lf), static_cast<int>(sizeof lf));
    EXPECT_EQ(lf.lfHeight, item.fontHeight);
    EXPECT_EQ(lf.lfWidth, item.fontWidth);
    EXPECT_EQ(lf.lfWeight, item.weight);
    EXPECT_EQ(lf.lfItalic != 0, item.italic);
    EXPECT_EQ(lf.lfEscapement, 0);
    EXPECT_EQ(lf.lfOrientation, 0);
    EXPECT_EQ(lf.lfUnderline, 0);
    EXPECT_EQ(lf.lfStrikeOut, 0);
    EXPECT_EQ(lf.lfCharSet, EASTEUROPE_CHARSET);  // code page 1250
    EXPECT_EQ(lf.lfOutPrecision, OUT_TT_ONLY_PRECIS);
    EXPECT_EQ(lf.lfClipPrecision, CLIP_DEFAULT_PRECIS);
    EXPECT_EQ(lf.lfQuality, PROOF_QUALITY);
    EXPECT_EQ(lf.lfPitchAndFamily, 0);
    EXPECT_STREQ(lf.lfFaceName, item.face);
    DeleteObject(font);
  }
}

// The texts are code page 1250 bytes: "ő" must come out as ő, not as the õ that code page 1252 would make
// of the same byte. Compared against the same font drawing the Unicode letters.
TEST_F(Branding, HungarianLettersAreDrawnAsSuch) {
  const PanelTextItem& item = kPanelItems[9];  // the product line, which holds an ő
  auto render = [&](auto draw) {
    HBITMAP b = FilledBitmap(200, 60, RGB(255, 255, 255));
    HDC screen = GetDC(nullptr);
    HDC dc = CreateCompatibleDC(screen);
    HGDIOBJ old = SelectObject(dc, b);
    draw(dc);
    SelectObject(dc, old);
    DeleteDC(dc);
    ReleaseDC(nullptr, screen);
    Pixels p = ReadPixels(b);
    DeleteObject(b);
    return p;
  };
  PanelTextItem at = item;  // same font, drawn from the top left corner
  at.align = PanelAlign::kLeftTop;
  at.xPerMille = 0;
  at.yPerMille = 0;
  Pixels ansi = render([&](HDC dc) { DrawPanelText(dc, 200, 60, at, "\xf5\xfb"); });  // ő ű in 1250
  auto wide = [&](const wchar_t* text) {
    return render([&](HDC dc) {
      HFONT f = MakePanelFont(at);
      HGDIOBJ old = SelectObject(dc, f);
      SetBkMode(dc, TRANSPARENT);
      SetTextAlign(dc, TA_LEFT | TA_TOP);
      SetTextColor(dc, RGB(at.red, at.green, at.blue));
      TextOutW(dc, 0, 0, text, 2);
      SelectObject(dc, old);
      DeleteObject(f);
    });
  };
  Pixels right = wide(L"\x0151\x0171");  // ő ű
  Pixels wrong = wide(L"\x00f5\x00fb");  // õ û
  ASSERT_GT(Find(ansi, kTitleBlue, 0, 0, 200, 60).count, 20) << "nothing drawn";
  EXPECT_EQ(ansi.data, right.data);
  EXPECT_NE(ansi.data, wrong.data);
}

TEST_F(Branding, ShippedBackgroundIsLoadedWithItsSize) {
  LoadBrandingBitmap(GetModuleHandleA(nullptr));
  ASSERT_NE(g_branding.bitmap, nullptr);
  EXPECT_EQ(g_branding.width, 600);
  EXPECT_EQ(g_branding.height, 350);
  int w = 0, h = 0;
  EXPECT_TRUE(ReadBitmapSize(g_branding.bitmap, &w, &h));
  EXPECT_EQ(w, 600);
  EXPECT_EQ(h, 350);
}

// A module without the bitmap resource: no bitmap, the default size for the window, and composing and
// painting do nothing harmful.
TEST_F(Branding, MissingBackgroundLeavesDefaultSizeAndNoPanel) {
  g_branding = BrandingBitmap{nullptr, 1, 1};
  LoadBrandingBitmap(GetModuleHandleA("kernel32.dll"));
  EXPECT_EQ(g_branding.bitmap, nullptr);
  EXPECT_EQ(g_branding.width, kPanelDefaultWidth);
  EXPECT_EQ(g_branding.height, kPanelDefaultHeight);

  HWND w = CreateWindowExA(0, "Static", "", WS_POPUP, 0, 0, 100, 100, nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(w, nullptr);
  ComposeBrandingPanel(w);  // must not draw anywhere
  InvalidateRect(w, nullptr, TRUE);
  PaintMainWindow(w);
  RECT update;
  EXPECT_FALSE(GetUpdateRect(w, &update, FALSE)) << "painting must validate even without a bitmap";
  DestroyWindow(w);
}

TEST_F(Branding, BitmapSizeFromHandle) {
  int w = -1, h = -1;
  EXPECT_FALSE(ReadBitmapSize(nullptr, &w, &h));
  EXPECT_EQ(w, kPanelDefaultWidth);
  EXPECT_EQ(h, kPanelDefaultHeight);

  HBITMAP b = FilledBitmap(123, 45, RGB(1, 2, 3));
  EXPECT_TRUE(ReadBitmapSize(b, &w, &h));
  EXPECT_EQ(w, 123);
  EXPECT_EQ(h, 45);
  DeleteObject(b);
  EXPECT_FALSE(ReadBitmapSize(b, &w, &h)) << "a deleted bitmap";
  EXPECT_EQ(w, kPanelDefaultWidth);
}

// On a white background the composed panel shows every colour of the table, and the logo ANDed with
// white is the logo itself, unscaled, 40 and 6 pixels from the lower right corner.
TEST_F(Branding, ComposedPanelHoldsTextsAndLogo) {
  for (SIZE size : {SIZE{600, 350}, SIZE{800, 500}}) {
    const int w = size.cx, h = size.cy;
    SCOPED_TRACE(w);
    HBITMAP b = ComposedWhite(w, h);
    Pixels p = ReadPixels(b);
    DeleteObject(b);

    HBITMAP logo = LoadBitmapA(g_state.windows.instance, "QuarnBas");
    ASSERT_NE(logo, nullptr);
    Pixels lp = ReadPixels(logo);
    DeleteObject(logo);
    ASSERT_EQ(lp.width, 292);
    ASSERT_EQ(lp.height, 181);
    PanelPoint at = LogoTopLeft(w, h, lp.width, lp.height);
    // the logo's right part lies under no text: there the composed picture is the logo exactly
    int dark = 0;
    for (int y = 20; y < lp.height; ++y) {
      for (int x = 140; x < lp.width; ++x) {
        ASSERT_EQ(p.at(at.x + x, at.y + y), lp.at(x, y)) << x << "," << y;
        if (lp.at(x, y) != kWhite) ++dark;
      }
    }
    EXPECT_GT(dark, 1000) << "the logo must have ink to AND";
    // right of the logo and below it, the background stays untouched
    EXPECT_EQ(Find(p, kWhite, w - 40, h - 150, w, h).count, 40 * 150);
    EXPECT_EQ(Find(p, kWhite, at.x, h - 6, w, h).count, (w - at.x) * 6);

    // title block: blue "QuarnCAD" at the top, dark red version on its grey shadow, all above the logo
    PanelPoint title = PanelTextPosition(w, h, 680, 14);
    Box blue = Find(p, kTitleBlue, 0, 0, w, title.y + 40);
    EXPECT_GT(blue.count, 200);
    EXPECT_GE(blue.top, title.y);
    EXPECT_LT(blue.left, title.x);  // centred on x
    EXPECT_GT(blue.right, title.x);
    Box red = Find(p, kDarkRed, w / 3, 0, w, at.y);
    EXPECT_GT(red.count, 300);
    EXPECT_GT(Find(p, kShadowGrey, w / 3, 0, w, at.y).count, 50);
    // left column: black contact lines and the dark red rights notice below them
    PanelPoint name = PanelTextPosition(w, h, 20, 530);
    Box black = Find(p, kBlack, 0, name.y, w / 2, h);
    EXPECT_GT(black.count, 300);
    EXPECT_GE(black.left, name.x);
    Box rights = Find(p, kDarkRed, 0, PanelTextPosition(w, h, 20, 900).y, w / 2, h);
    EXPECT_GT(rights.count, 100);
  }
}

// Positions are fractions of the background, fonts stay in pixels: on a background twice as large the
// version text has the same shape and moves exactly by the difference of its positions.
TEST_F(Branding, TextsMoveProportionallyFontsKeepTheirSize) {
  HBITMAP small = ComposedWhite(600, 350);
  HBITMAP large = ComposedWhite(1200, 700);
  Pixels a = ReadPixels(small), b = ReadPixels(large);
  DeleteObject(small);
  DeleteObject(large);
  PanelPoint pa = PanelTextPosition(600, 350, 680, 204);
  PanelPoint pb = PanelTextPosition(1200, 700, 680, 204);
  Box ra = Find(a, kDarkRed, 200, 0, 600, 163);
  Box rb = Find(b, kDarkRed, 400, 0, 1200, 300);
  ASSERT_GT(ra.count, 300);
  EXPECT_EQ(rb.count, ra.count);
  EXPECT_EQ(rb.left - ra.left, pb.x - pa.x);
  EXPECT_EQ(rb.top - ra.top, pb.y - pa.y);
  EXPECT_EQ(rb.right - rb.left, ra.right - ra.left);
  EXPECT_EQ(rb.bottom - rb.top, ra.bottom - ra.top);
}

namespace {
LRESULT CALLBACK PaintOnlyProc(HWND w, UINT m, WPARAM wp, LPARAM lp) {
  if (m == WM_PAINT) {
    PaintMainWindow(w);
    return 0;
  }
  return DefWindowProcA(w, m, wp, lp);
}
}  // namespace

// Painting copies the composed bitmap to (2, 2) of the client area, leaves the class's grey background
// in the margin, and never draws into the bitmap itself.
TEST_F(Branding, PaintCopiesTheComposedBitmapOnly) {
  LoadBrandingBitmap(g_state.windows.instance);
  ASSERT_NE(g_branding.bitmap, nullptr);
  HDC screen = GetDC(nullptr);
  ComposePanelInto(screen, g_branding.bitmap, g_branding.width, g_branding.height);
  ReleaseDC(nullptr, screen);
  Pixels composed = ReadPixels(g_branding.bitmap);

  WNDCLASSA wc;
  memset(&wc, 0, sizeof wc);
  wc.lpfnWndProc = PaintOnlyProc;
  wc.hInstance = g_state.windows.instance;
  wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(GRAY_BRUSH));
  wc.lpszClassName = "BrandingPaintTest";
  RegisterClassA(&wc);
  const int cw = g_branding.width + 4, ch = g_branding.height + 4;
  HWND w = CreateWindowExA(WS_EX_TOPMOST, wc.lpszClassName, "", WS_POPUP | WS_VISIBLE, 10, 10, cw, ch, nullptr,
                           nullptr, g_state.windows.instance, nullptr);
  ASSERT_NE(w, nullptr);

  // Grab what the window shows once its paint has gone through, polling until the picture settles.
  auto grab = [&]() {
    HBITMAP shot = FilledBitmap(cw, ch, RGB(1, 2, 3));
    HDC s = GetDC(nullptr);
    HDC dc = CreateCompatibleDC(s);
    HGDIOBJ old = SelectObject(dc, shot);
    BitBlt(dc, 0, 0, cw, ch, s, 10, 10, SRCCOPY);
    SelectObject(dc, old);
    DeleteDC(dc);
    ReleaseDC(nullptr, s);
    Pixels p = ReadPixels(shot);
    DeleteObject(shot);
    return p;
  };
  auto matches = [&](const Pixels& p) {
    for (int y = 0; y < composed.height; y += 3)
      for (int x = 0; x < composed.width; x += 3)
        if (p.at(x + 2, y + 2) != composed.at(x, y)) return false;
    return true;
  };
  for (int round = 0; round < 2; ++round) {
    SCOPED_TRACE(round);
    InvalidateRect(w, nullptr, TRUE);
    Pixels shown;
    DWORD start = GetTickCount();
    do {
      MSG msg;
      while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
      UpdateWindow(w);
      shown = grab();
    } while (!matches(shown) && GetTickCount() - start < 5000);
    ASSERT_TRUE(matches(shown)) << "the window does not show the composed bitmap at (2, 2)";
    for (int i = 0; i < cw; ++i) {
      ASSERT_EQ(shown.at(i, 0), Rgb(128, 128, 128)) << i;
      ASSERT_EQ(shown.at(i, 1), Rgb(128, 128, 128)) << i;
    }
    for (int i = 0; i < ch; ++i) ASSERT_EQ(shown.at(0, i), Rgb(128, 128, 128)) << i;
  }
  EXPECT_EQ(ReadPixels(g_branding.bitmap).data, composed.data) << "painting changed the bitmap";
  DestroyWindow(w);
  UnregisterClassA(wc.lpszClassName, g_state.windows.instance);
}

// The pictures as the program loads them: bitmap sizes and depth, and an image of every size in the
// icon groups (a missing size would be stretched from another one).
TEST_F(Branding, PicturesHaveTheirSizesAndDepth) {
  struct Bmp {
    const char* name;
    int w, h;
  } bitmaps[] = {{"QuarnWin", 600, 350}, {"QuarnBas", 292, 181}};
  for (const Bmp& b : bitmaps) {
    HBITMAP h = static_cast<HBITMAP>(LoadImageA(g_state.windows.instance, b.name, IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
    ASSERT_NE(h, nullptr) << b.name;
    BITMAP header;
    GetObjectA(h, sizeof header, &header);
    EXPECT_EQ(header.bmWidth, b.w) << b.name;
    EXPECT_EQ(header.bmHeight, b.h) << b.name;
    EXPECT_EQ(header.bmBitsPixel, 24) << b.name;
    DeleteObject(h);
  }
  auto iconSizes = [](const char* name) {
    // The group directory lists every image with its size and depth.
    std::vector<std::pair<int, int>> sizes;
    HRSRC res = FindResourceA(g_state.windows.instance, name, MAKEINTRESOURCEA(14) /* RT_GROUP_ICON */);
    if (!res) return sizes;
    const BYTE* dir = static_cast<const BYTE*>(LockResource(LoadResource(g_state.windows.instance, res)));
    int count = dir[4] | (dir[5] << 8);
    for (int i = 0; i < count; ++i) {
      const BYTE* e = dir + 6 + 14 * i;  // GRPICONDIRENTRY
      sizes.emplace_back(e[0] == 0 ? 256 : e[0], e[6] | (e[7] << 8));
    }
    return sizes;
  };
  std::vector<std::pair<int, int>> earth = iconSizes("QuarnEarth");
  std::vector<std::pair<int, int>> want = {{16, 24}, {32, 24}, {48, 24}, {64, 24}, {96, 24}, {128, 24}, {256, 24}};
  EXPECT_EQ(earth, want);
  for (const auto& s : want) {
    HICON icon = static_cast<HICON>(LoadImageA(g_state.windows.instance, "QuarnEarth", IMAGE_ICON, s.first, s.first, 0));
    ASSERT_NE(icon, nullptr) << s.first;
    ICONINFO info;
    ASSERT_TRUE(GetIconInfo(icon, &info));
    BITMAP colour;
    GetObjectA(info.hbmColor, sizeof colour, &colour);
    EXPECT_EQ(colour.bmWidth, s.first);
    DeleteObject(info.hbmColor);
    DeleteObject(info.hbmMask);
    DestroyIcon(icon);
  }
  EXPECT_FALSE(iconSizes("QuarnWin").empty()) << "product icon QuarnWin";
  EXPECT_NE(LoadIconA(g_state.windows.instance, "QuarnWin"), nullptr);
}
