// Where CentreOver puts a window over its reference window.
#include <gtest/gtest.h>

#include "ui/centre_layout.h"

TEST(CentreOverPosition, CentresTruncatesAndClampsAtZero) {
  struct Case {
    int l, t, r, b, w, h;
    int left, top;
  } cases[] = {
      {100, 100, 500, 400, 200, 100, 200, 200},   // plain centring
      {100, 100, 501, 401, 200, 100, 200, 200},   // odd leftover 201 / 2 = 100
      {300, 300, 400, 400, 301, 301, 200, 200},   // -201 / 2 = -100 (toward zero): 200, not 199
      {10, 20, 110, 100, 400, 300, 0, 0},         // small reference near the corner: clamped to 0
      {-50, -40, 50, 60, 20, 20, 0, 0},           // reference partly off screen
      {0, 0, 100, 100, 100, 100, 0, 0},           // same size: on top of it
      {200, 0, 300, 50, 50, 400, 225, 0},         // clamped on one axis only
      {0, 300, 50, 400, 400, 50, 0, 325},
  };
  for (const Case& c : cases) {
    CentredPosition p = CentreOverPosition(c.l, c.t, c.r, c.b, c.w, c.h);
    EXPECT_EQ(p.left, c.left) << c.l << "," << c.t << " " << c.w << "x" << c.h;
    EXPECT_EQ(p.top, c.top) << c.l << "," << c.t << " " << c.w << "x" << c.h;
  }
}
