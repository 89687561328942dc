// The About box from its real template: contents, and the three ways to close it.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "state/install_state_win.h"
#include "ui/about_box_win.h"

namespace {

std::string TextA(HWND w) {
  char buf[256] = "";
  GetWindowTextA(w, buf, sizeof buf);
  return buf;
}

struct Child {
  int id;
  std::string cls, text;
  LONG style;
  RECT rect;  // in dialog client coordinates
};

BOOL CALLBACK CollectChild(HWND h, LPARAM lp) {
  auto* out = reinterpret_cast<std::vector<Child>*>(lp);
  char cls[64] = "";
  GetClassNameA(h, cls, sizeof cls);
  RECT r;
  GetWindowRect(h, &r);
  MapWindowPoints(nullptr, GetParent(h), reinterpret_cast<POINT*>(&r), 2);
  out->push_back(Child{static_cast<int>(static_cast<short>(GetDlgCtrlID(h))), cls, TextA(h),
                       GetWindowLongA(h, GWL_STYLE), r});
  return TRUE;
}

// Pixels of a rectangle in dialog units, converted as the dialog manager does: position and size each on
// their own (converting the right edge as a coordinate can round differently).
RECT DialogUnits(HWND dialog, int x, int y, int w, int h) {
  RECT r = {x, y, w, h};
  MapDialogRect(dialog, &r);
  return RECT{r.left, r.top, r.left + r.right, r.top + r.bottom};
}

// How a test closes the box: set up at WM_INITDIALOG, carried out by the dialog's own modal loop.
enum class CloseBy { kOkButton, kEscape, kCloseBox };
struct ModalRun {
  CloseBy how;
  bool unhandledFirst;  // send commands the box must ignore before closing it
};
constexpr UINT_PTR kGiveUpTimer = 77;

INT_PTR CALLBACK Driven(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    const ModalRun* run = reinterpret_cast<const ModalRun*>(lParam);
    SetTimer(dialog, kGiveUpTimer, 5000, nullptr);  // a box that does not close fails, not hangs, the test
    HWND ok = GetDlgItem(dialog, IDOK);
    if (run->unhandledFirst) {
      PostMessageA(dialog, WM_COMMAND, 0, 0);
      PostMessageA(dialog, WM_COMMAND, 3, 0);
      PostMessageA(dialog, WM_COMMAND, 519, 0);
    }
    switch (run->how) {
      case CloseBy::kOkButton:
        PostMessageA(ok, BM_CLICK, 0, 0);
        break;
      case CloseBy::kEscape:  // the modal loop's dialog handling turns Esc into IDCANCEL
        PostMessageA(ok, WM_KEYDOWN, VK_ESCAPE, 1);
        PostMessageA(ok, WM_KEYUP, VK_ESCAPE, 0xC0000001);
        break;
      case CloseBy::kCloseBox:  // the close box: SC_CLOSE, WM_CLOSE, then IDCANCEL
        PostMessageA(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
        break;
    }
    return AboutBoxProc(dialog, message, wParam, 0);
  }
  if (message == WM_TIMER && wParam == kGiveUpTimer) {
    EndDialog(dialog, 99);
    return TRUE;
  }
  return AboutBoxProc(dialog, message, wParam, lParam);
}

class AboutBox : public ::testing::Test {
 protected:
  void SetUp() override { g_state.windows.instance = GetModuleHandleA(nullptr); }
};

}  // namespace

TEST_F(AboutBox, TemplateShowsTheTitleLinesIconAndOkButton) {
  HWND d = CreateDialogParamA(g_state.windows.instance, "AboutBox", nullptr, AboutBoxProc, 0);
  ASSERT_NE(d, nullptr);
  EXPECT_EQ(TextA(d), "Inform\xe1" "ci\xf3k!");  // Információk!
  LONG style = GetWindowLongA(d, GWL_STYLE);
  EXPECT_EQ(style & (WS_CAPTION | WS_SYSMENU | DS_MODALFRAME), WS_CAPTION | WS_SYSMENU | DS_MODALFRAME);
  RECT client;
  GetClientRect(d, &client);
  RECT want = DialogUnits(d, 0, 0, 210, 67);
  EXPECT_EQ(client.right, want.right);
  EXPECT_EQ(client.bottom, want.bottom);

  std::vector<Child> kids;
  EnumChildWindows(d, CollectChild, reinterpret_cast<LPARAM>(&kids));
  ASSERT_EQ(kids.size(), 6u);
  struct Want {
    int id;
    const char* cls;
    const char* text;  // nullptr: not compared (the icon)
    LONG style;
    int x, y, w, h;
  } wants[] = {
      {-1, "Static", "QuarnCAD 'Windows10' V9.21", SS_CENTER | SS_CENTERIMAGE | WS_GROUP, 20, 5, 188, 12},
      {-1, "Static", "Telep\xedt\xf5 alrendszer", SS_CENTER | SS_CENTERIMAGE | WS_GROUP, 20, 16, 188, 10},
      {-1, "Static", "QuarnSoft Kft. 1992-2019", SS_CENTER | SS_CENTERIMAGE | WS_GROUP, 20, 26, 188, 10},
      {-1, "Static", "Minden jog fenntartva!", SS_CENTER | SS_CENTERIMAGE | WS_GROUP, 20, 36, 188, 10},
      {-1, "Static", nullptr, SS_ICON, 10, 16, 0, 0},
      {IDOK, "Button", "Rendben", BS_DEFPUSHBUTTON | WS_GROUP | WS_TABSTOP, 89, 51, 50, 12},
  };
  for (size_t i = 0; i < kids.size(); ++i) {
    const Child& c = kids[i];
    const Want& w = wants[i];
    SCOPED_TRACE(i);
    EXPECT_EQ(c.id, w.id);
    EXPECT_STRCASEEQ(c.cls.c_str(), w.cls);
    if (w.text) {
      EXPECT_EQ(c.text, w.text);
    }
    EXPECT_EQ(c.style & (w.style | WS_CHILD | WS_VISIBLE), w.style | WS_CHILD | WS_VISIBLE);
    RECT r = DialogUnits(d, w.x, w.y, w.w, w.h);
    EXPECT_EQ(c.rect.left, r.left);
    EXPECT_EQ(c.rect.top, r.top);
    if (w.w) {  // an icon static sizes itself to the icon
      EXPECT_EQ(c.rect.right, r.right);
      EXPECT_EQ(c.rect.bottom, r.bottom);
    }
  }
  HWND icon = GetDlgItem(d, -1);
  for (HWND h = GetWindow(d, GW_CHILD); h; h = GetWindow(h, GW_HWNDNEXT)) {
    if ((GetWindowLongA(h, GWL_STYLE) & SS_TYPEMASK) == SS_ICON) icon = h;
  }
  EXPECT_NE(SendMessageA(icon, STM_GETICON, 0, 0), 0) << "icon resource QuarnWin did not load";
  DestroyWindow(d);
}

TEST_F(AboutBox, OnlyOkAndCancelEndIt) {
  HWND d = CreateDialogParamA(g_state.windows.instance, "AboutBox", nullptr, AboutBoxProc, 0);
  ASSERT_NE(d, nullptr);
  ShowWindow(d, SW_SHOW);
  EXPECT_EQ(AboutBoxProc(d, WM_INITDIALOG, 0, 0), TRUE);
  for (WPARAM id : {WPARAM{0}, WPARAM{3}, WPARAM{519}, WPARAM{0xFFFF}, MAKEWPARAM(0, BN_CLICKED)}) {
    EXPECT_EQ(AboutBoxProc(d, WM_COMMAND, id, 0), FALSE) << id;
    EXPECT_TRUE(IsWindowVisible(d)) << "command " << id << " ended the box";
  }
  for (UINT m : {UINT{WM_TIMER}, UINT{WM_CLOSE}, UINT{WM_USER}}) EXPECT_EQ(AboutBoxProc(d, m, 0, 0), FALSE) << m;
  EXPECT_TRUE(IsWindowVisible(d));
  // the notification code in the high word does not matter
  EXPECT_EQ(AboutBoxProc(d, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0), TRUE);
  DestroyWindow(d);
}

TEST_F(AboutBox, ClosesWithResultOneByOkEscAndCloseBox) {
  const ModalRun runs[] = {
      {CloseBy::kOkButton, false}, {CloseBy::kEscape, false}, {CloseBy::kCloseBox, false},
      {CloseBy::kOkButton, true},  {CloseBy::kEscape, true},
  };
  for (const ModalRun& run : runs) {
    SCOPED_TRACE(static_cast<int>(run.how));
    INT_PTR result = DialogBoxParamA(g_state.windows.instance, "AboutBox", nullptr, Driven, reinterpret_cast<LPARAM>(&run));
    EXPECT_EQ(result, 1);
  }
}
