// Placement of the branding panel's texts and logo on backgrounds of any size.
#include <gtest/gtest.h>

#include <cstring>

#include "res/resource.h"
#include "ui/panel_layout.h"

TEST(PanelLayout, ItemPositionsOnTheShippedBackground) {
  // Pixel positions of every item on the 600 x 350 background, truncated toward zero. Several exact
  // products are whole numbers (350 * 0.62 = 217) or lie on .5 or .9 (350 * 0.71 = 248.5, 350 * 0.354 =
  // 123.9): in binary fractions they came out a hair below or above (216.99... in the 32-bit build's x87
  // precision), and rounding instead of truncating would move them.
  const PanelPoint expected[kPanelItemCount] = {{12, 185}, {12, 217}, {12, 232}, {12, 248}, {12, 264},
                                               {12, 280}, {12, 295}, {12, 315}, {408, 4},  {408, 39},
                                               {408, 123}, {411, 73}, {408, 71}};
  for (size_t i = 0; i < kPanelItemCount; ++i) {
    PanelPoint p = PanelTextPosition(600, 350, kPanelItems[i].xPerMille, kPanelItems[i].yPerMille);
    EXPECT_EQ(p.x, expected[i].x) << "item " << i + 1;
    EXPECT_EQ(p.y, expected[i].y) << "item " << i + 1;
  }
}

TEST(PanelLayout, PositionsScaleWithTheBackgroundAndTruncate) {
  struct Case {
    int w, h;
    int32_t fx, fy;  // per mille
    int x, y;
  } cases[] = {
      {1200, 700, 680, 204, 816, 142},  // twice the size: twice the position
      {300, 175, 680, 204, 204, 35},    // half: 35.7 truncates to 35
      {300, 175, 686, 210, 205, 36},    // 205.8 and 36.75 truncate
      {333, 101, 20, 900, 6, 90},       // 6.66 and 90.9
      {1, 1, 900, 900, 0, 0},           // below one pixel
      {0, 0, 680, 530, 0, 0},
      {65535, 65535, 1000, 1000, 65535, 65535},  // the whole size, no overflow on the way
  };
  for (const Case& c : cases) {
    PanelPoint p = PanelTextPosition(c.w, c.h, c.fx, c.fy);
    EXPECT_EQ(p.x, c.x) << c.w << "x" << c.h << " fx " << c.fx;
    EXPECT_EQ(p.y, c.y) << c.w << "x" << c.h << " fy " << c.fy;
  }
}

// Products whose exact decimal value is a whole number while the binary product lies a hair below it
// (0.62, 0.29, 0.57, 0.58 have no exact binary form): the position is that whole number, in every build.
// Beside them, products just below a whole number truncate down.
TEST(PanelLayout, ProductsOnAWholeNumberAreThatNumber) {
  struct Case {
    int size;
    int32_t perMille;
    int expected;
  } cases[] = {
      {350, 620, 217},   // 217.0 as a double, 216.99... in x87 extended precision
      {100, 290, 29},    // 28.999999999999996 even as a double
      {100, 570, 57},    // 56.99999999999999
      {100, 580, 58},    // 57.99999999999999
      {700, 620, 434},   // as above
      {50, 580, 29},     // 28.999999999999996
      {1000, 1, 1},
      {999, 1, 0},       // 0.999: below one pixel
      {350, 710, 248},   // 248.5 exactly: truncated, not rounded
      {350, 354, 123},   // 123.9
      {600, 686, 411},   // 411.6
      {3, 333, 0},       // 0.999
      {1001, 999, 999},  // 999.999
  };
  for (const Case& c : cases) {
    EXPECT_EQ(PanelTextPosition(c.size, c.size, c.perMille, c.perMille).x, c.expected)
        << c.size << " * " << c.perMille << " / 1000";
    EXPECT_EQ(PanelTextPosition(c.size, c.size, c.perMille, c.perMille).y, c.expected);
  }
}

TEST(PanelLayout, LogoKeepsItsDistancesFromTheLowerRightCorner) {
  struct Case {
    int w, h, lw, lh, x, y;
  } cases[] = {
      {600, 350, 292, 181, 268, 163},  // the shipped pictures
      {800, 500, 292, 181, 468, 313},  // bigger background: same 40 / 6 pixel gaps
      {300, 175, 292, 181, -32, -12},  // logo larger than the room: negative, clipped by the blit
      {600, 350, 0, 0, 560, 344},
  };
  for (const Case& c : cases) {
    PanelPoint p = LogoTopLeft(c.w, c.h, c.lw, c.lh);
    EXPECT_EQ(p.x, c.x) << c.w << "x" << c.h;
    EXPECT_EQ(p.y, c.y) << c.w << "x" << c.h;
    EXPECT_EQ(c.w - (p.x + c.lw), kLogoRightGap);
    EXPECT_EQ(c.h - (p.y + c.lh), kLogoBottomGap);
  }
}

TEST(PanelLayout, MissingOrBrokenBitmapFallsBackToTheDefaultSize) {
  struct Case {
    bool have;
    int w, h, ew, eh;
  } cases[] = {
      {true, 600, 350, 600, 350}, {true, 800, 200, 800, 200}, {false, 800, 200, 600, 350},
      {true, 0, 350, 600, 350},   {true, 600, -350, 600, 350}, {false, 0, 0, 600, 350},
  };
  for (const Case& c : cases) {
    PanelSize s = EffectivePanelSize(c.have, c.w, c.h);
    EXPECT_EQ(s.width, c.ew);
    EXPECT_EQ(s.height, c.eh);
  }
}

TEST(PanelLayout, ItemsCarryTheirFontsColoursAndTexts) {
  // The left column: black contact lines, then the dark red rights notice; left aligned.
  for (size_t i = 0; i < kLeftColumnItemCount; ++i) {
    const PanelTextItem& it = kPanelItems[i];
    EXPECT_EQ(it.align, PanelAlign::kLeftTop) << i;
    EXPECT_EQ(it.source, PanelTextSource::kString) << i;
    EXPECT_FALSE(it.italic) << i;
    bool rights = i == kLeftColumnItemCount - 1;
    EXPECT_EQ(it.red, rights ? 128 : 0) << i;
    EXPECT_EQ(it.green + it.blue, 0) << i;
  }
  const int leftStrings[] = {IDS_MAKER_NAME,  IDS_MAKER_ADDRESS, IDS_MAKER_PHONE, IDS_MAKER_PHONE2,
                             IDS_MAKER_EMAIL, IDS_MAKER_WEB,     IDS_MAKER_YEARS, IDS_MAKER_RIGHTS};
  for (size_t i = 0; i < kLeftColumnItemCount; ++i) EXPECT_EQ(kPanelItems[i].stringId, leftStrings[i]) << i;
  // The title block: centred, italic, bold Arial Black.
  for (size_t i = kLeftColumnItemCount; i < kPanelItemCount; ++i) {
    const PanelTextItem& it = kPanelItems[i];
    EXPECT_EQ(it.align, PanelAlign::kCentreTop) << i;
    EXPECT_TRUE(it.italic) << i;
    EXPECT_EQ(it.weight, 700) << i;
    EXPECT_STREQ(it.face, "Arial Black") << i;
  }
  const PanelTextItem& title = kPanelItems[8];
  EXPECT_EQ(title.source, PanelTextSource::kLiteral);
  EXPECT_STREQ(title.text, "QuarnCAD");
  EXPECT_EQ(title.fontWidth, 18);
  EXPECT_EQ(title.fontHeight, 40);
  EXPECT_EQ((title.red << 16) | (title.green << 8) | title.blue, (22 << 16) | (132 << 8) | 198);
  EXPECT_EQ(kPanelItems[9].stringId, IDS_PRODUCT_LINE);
  EXPECT_EQ(kPanelItems[10].stringId, IDS_WINDOWS_VERSION);
  // The version text: grey shadow first, then dark red on it, same font.
  const PanelTextItem& shadow = kPanelItems[11];
  const PanelTextItem& version = kPanelItems[12];
  EXPECT_EQ(shadow.source, PanelTextSource::kVersion);
  EXPECT_EQ(version.source, PanelTextSource::kVersion);
  EXPECT_EQ(shadow.red, 112);
  EXPECT_EQ(shadow.green, 112);
  EXPECT_EQ(shadow.blue, 112);
  EXPECT_EQ(version.red, 128);
  EXPECT_EQ(version.green + version.blue, 0);
  EXPECT_EQ(shadow.fontWidth, version.fontWidth);
  EXPECT_EQ(shadow.fontHeight, version.fontHeight);
  EXPECT_EQ(shadow.xPerMille - version.xPerMille, 6);
  EXPECT_EQ(shadow.yPerMille - version.yPerMille, 6);
}

TEST(PanelLayout, VersionText) {
  char buf[16];
  EXPECT_TRUE(BuildVersionText(buf, sizeof buf));
  EXPECT_STREQ(buf, "V9.21.DEMO");
  char small[6];
  EXPECT_FALSE(BuildVersionText(small, sizeof small));
  EXPECT_STREQ(small, "V9.21");
}
