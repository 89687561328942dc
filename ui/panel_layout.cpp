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
    // source, string, text, face, width, height, weight, italic, fx, fy, colour, alignment
    {S, IDS_MAKER_NAME, nullptr, "Arial Black", 10, 28, 700, false, 0.02, 0.53, 0, 0, 0, L},
    {S, IDS_MAKER_ADDRESS, nullptr, "Arial", 6, 16, 400, false, 0.02, 0.62, 0, 0, 0, L},
    {S, IDS_MAKER_PHONE, nullptr, "Arial", 6, 16, 400, false, 0.02, 0.665, 0, 0, 0, L},
    {S, IDS_MAKER_PHONE2, nullptr, "Arial", 6, 16, 400, false, 0.02, 0.71, 0, 0, 0, L},
    {S, IDS_MAKER_EMAIL, nullptr, "Arial", 6, 16, 400, false, 0.02, 0.755, 0, 0, 0, L},
    {S, IDS_MAKER_WEB, nullptr, "Arial", 6, 16, 400, false, 0.02, 0.8, 0, 0, 0, L},
    {S, IDS_MAKER_YEARS, nullptr, "Arial", 6, 16, 400, false, 0.02, 0.845, 0, 0, 0, L},
    {S, IDS_MAKER_RIGHTS, nullptr, "Arial Black", 10, 26, 400, false, 0.02, 0.9, 128, 0, 0, L},
    {PanelTextSource::kLiteral, 0, "QuarnCAD", "Arial Black", 18, 40, 700, true, 0.68, 0.014, 22, 132, 198, C},
    {S, IDS_PRODUCT_LINE, nullptr, "Arial Black", 12, 30, 700, true, 0.68, 0.114, 22, 132, 198, C},
    {S, IDS_WINDOWS_VERSION, nullptr, "Arial Black", 10, 26, 700, true, 0.68, 0.354, 22, 132, 198, C},
    {PanelTextSource::kVersion, 0, nullptr, "Arial Black", 22, 48, 700, true, 0.686, 0.21, 112, 112, 112, C},
    {PanelTextSource::kVersion, 0, nullptr, "Arial Black", 22, 48, 700, true, 0.68, 0.204, 128, 0, 0, C},
};

PanelPoint PanelTextPosition(int width, int height, double fx, double fy) {
  // static_cast truncates toward zero, which is the rounding the panel positions are defined with.
  return PanelPoint{static_cast<int>(static_cast<double>(width) * fx),
                    static_cast<int>(static_cast<double>(height) * fy)};
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
