// CentreOver with real windows.
#include <windows.h>

#include <gtest/gtest.h>

#include "ui/centre_win.h"

namespace {
HWND Popup(int x, int y, int w, int h) {
  return CreateWindowExA(0, "Static", "", WS_POPUP, x, y, w, h, nullptr, nullptr, nullptr, nullptr);
}
}  // namespace

TEST(CentreOver, CentresKeepsSizeAndNeverGoesNegative) {
  struct Case {
    RECT ref;  // left, top, width, height
    SIZE moved;
    POINT want;
  } cases[] = {
      {{100, 100, 400, 300}, {200, 100}, {200, 200}},
      {{100, 100, 401, 301}, {200, 100}, {200, 200}},  // odd leftover truncated
      {{300, 300, 100, 100}, {301, 301}, {200, 200}},  // -201 / 2 is -100: truncation toward zero
      {{10, 20, 100, 80}, {400, 300}, {0, 0}},         // small reference near the corner: clamped
      {{200, 5, 100, 50}, {50, 400}, {225, 0}},        // clamped on one axis only
      {{-60, 300, 50, 100}, {400, 50}, {0, 325}},
  };
  for (const Case& c : cases) {
    HWND ref = Popup(c.ref.left, c.ref.top, c.ref.right, c.ref.bottom);
    HWND moved = Popup(700, 500, c.moved.cx, c.moved.cy);
    ASSERT_TRUE(ref && moved);
    CentreOver(ref, moved);
    RECT r;
    GetWindowRect(moved, &r);
    EXPECT_EQ(r.left, c.want.x) << c.ref.left << "," << c.ref.top;
    EXPECT_EQ(r.top, c.want.y) << c.ref.left << "," << c.ref.top;
    EXPECT_EQ(r.right - r.left, c.moved.cx);
    EXPECT_EQ(r.bottom - r.top, c.moved.cy);
    DestroyWindow(moved);
    DestroyWindow(ref);
  }
}

TEST(CentreOver, LeavesTheWindowAloneWhenTheReferenceIsGone) {
  HWND ref = Popup(0, 0, 10, 10);
  HWND moved = Popup(123, 45, 60, 70);
  DestroyWindow(ref);
  CentreOver(ref, moved);
  RECT r;
  GetWindowRect(moved, &r);
  EXPECT_EQ(r.left, 123);
  EXPECT_EQ(r.top, 45);
  DestroyWindow(moved);
}
