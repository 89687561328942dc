// What the branding panel shows and where: the text items, their fonts and colours, and the arithmetic
// that places texts and the logo on a background of any size. Free of Win32, so it is tested natively.
#pragma once
#include <cstddef>
#include <cstdint>

// The shipped background is 600 x 350. A missing background bitmap leaves the main window at this size,
// so that the options dialog, which is placed relative to the main window, still lands on the screen.
constexpr int kPanelDefaultWidth = 600;
constexpr int kPanelDefaultHeight = 350;

// The logo's lower right corner keeps these distances from the background's right and bottom edges.
constexpr int kLogoRightGap = 40;
constexpr int kLogoBottomGap = 6;

// The composed bitmap is painted at this offset in the main window's client area.
constexpr int kPanelPaintOffset = 2;

// String table buffer of a panel text (at most 127 characters).
constexpr size_t kPanelTextSize = 128;

struct PanelPoint {
  int x;
  int y;
};

struct PanelSize {
  int width;
  int height;
};

enum class PanelAlign {
  kLeftTop,    // x is the text's left edge
  kCentreTop,  // x is the text's centre
};

enum class PanelTextSource {
  kString,   // string table entry stringId
  kLiteral,  // the literal text
  kVersion,  // the version text, see BuildVersionText
};

struct PanelTextItem {
  PanelTextSource source;
  int stringId;      // kString only
  const char* text;  // kLiteral only
  const char* face;
  int fontWidth;   // pixels
  int fontHeight;  // pixels
  int weight;      // 400 normal, 700 bold
  bool italic;
  int32_t xPerMille;  // horizontal position in thousandths of the background width (680: 0.68)
  int32_t yPerMille;  // vertical position in thousandths of the background height
  uint8_t red, green, blue;
  PanelAlign align;
};

// The panel's text items in drawing order. The first kLeftColumnItemCount are the maker's contact lines
// at the left; the rest are the title block at the right, whose last two items are the version text's
// grey shadow and the dark red version text on it.
constexpr size_t kPanelItemCount = 13;
constexpr size_t kLeftColumnItemCount = 8;
extern const PanelTextItem kPanelItems[kPanelItemCount];

// x = width * xPerMille / 1000 and y = height * yPerMille / 1000, exact in whole numbers and truncated toward
// zero (the same pixel in every build, whatever its floating-point unit).
PanelPoint PanelTextPosition(int width, int height, int32_t xPerMille, int32_t yPerMille);

// Top-left corner of the logo: (W - logo width - 40, H - logo height - 6). Negative when the logo does
// not fit; the blit then clips it.
PanelPoint LogoTopLeft(int panelWidth, int panelHeight, int logoWidth, int logoHeight);

// The size the main window is built around: the bitmap's own size, or the default 600 x 350 when there is
// no bitmap or its header reports a size that is not positive.
PanelSize EffectivePanelSize(bool haveBitmap, int width, int height);

// "V9.21" followed by ".DEMO". Returns false (and a cut text) when buf is too small.
bool BuildVersionText(char* buf, size_t size);
