#include "ui/panel_layout.h"

#include "base/text.h"
#include "res/resource.h"

namespace {
constexpr PanelTextSource S = PanelTextSource::kString;
constexpr PanelAlign L = PanelAlign::kLeftTop;
constexpr PanelAlign C = PanelAlign::kCentreTop;
}  // namespace

// Fonts are given in pixels and do not scale with the background; only the positions do.
const PanelTextItem kPanelItems[kPanelItemCount] = {
    // source, string, text, face, width, height, weight, italic, x and y in per mille, colour, alignment
    {S, IDS_MAKER_NAME, nullptr, "Arial Black", 10, 28, 700, false, 20, 530, 0, 0, 0, L},
    {S, IDS_MAKER_ADDRESS, nullptr, "Arial", 6, 16, 400, false, 20, 620, 0, 0, 0, L},
    {S, IDS_MAKER_PHONE, nullptr, "Arial", 6, 16, 400, false, 20, 665, 0, 0, 0, L},
    {S, IDS_MAKER_PHONE2, nullptr, "Arial", 6, 16, 400, false, 20, 710, 0, 0, 0, L},
    {S, IDS_MAKER_EMAIL, nullptr, "Arial", 6, 16, 400, false, 20, 755, 0, 0, 0, L},
    {S, IDS_MAKER_WEB, nullptr, "Arial", 6, 16, 400, false, 20, 800, 0, 0, 0, L},
    {S, IDS_MAKER_YEARS, nullptr, "Arial", 6, 16, 400, false, 20, 845, 0, 0, 0, L},
    {S, IDS_MAKER_RIGHTS, nullptr, "Arial Black", 10, 26, 400, false, 20, 900, 128, 0, 0, L},
    {PanelTextSource::kLiteral, 0, "QuarnCAD", "Arial Black", 18, 40, 700, true, 680, 14, 22, 132, 198, C},
    {S, IDS_PRODUCT_LINE, nullptr, "Arial Black", 12, 30, 700, true, 680, 114, 22, 132, 198, C},
    {S, IDS_WINDOWS_VERSION, nullptr, "Arial Black", 10, 26, 700, true, 680, 354, 22, 132, 198, C},
    {PanelTextSource::kVersion, 0, nullptr, "Arial Black", 22, 48, 700, true, 686, 210, 112, 112, 112, C},
    {PanelTextSource::kVersion, 0, nullptr, "Arial Black", 22, 48, 700, true, 680, 204, 128, 0, 0, C},
};

PanelPoint PanelTextPosition(int width, int height, int32_t xPerMille, int32_t yPerMille) {
  // Whole numbers only: the product is exact, and the division truncates toward zero, which is the
  // rounding the panel positions are defined with. (With the fractions as doubles, 350 * 0.62 came out
  // as 216.999... in the 32-bit build's extended precision and as 217.0 in the 64-bit build.)
  return PanelPoint{static_cast<int>(static_cast<int64_t>(width) * xPerMille / 1000),
                    static_cast<int>(static_cast<int64_t>(height) * yPerMille / 1000)};
}

PanelPoint LogoTopLeft(int panelWidth, int panelHeight, int logoWidth, int logoHeight) {
  return PanelPoint{panelWidth - logoWidth - kLogoRightGap, panelHeight - logoHeight - kLogoBottomGap};
}

PanelSize EffectivePanelSize(bool haveBitmap, int width, int height) {
  if (!haveBitmap || width <= 0 || height <= 0) return PanelSize{kPanelDefaultWidth, kPanelDefaultHeight};
  return PanelSize{width, height};
}

bool BuildVersionText(char* buf, size_t size) {
  bool fit = CopyText(buf, size, "V9.21");
  return AppendText(buf, size, ".DEMO") && fit;
}
