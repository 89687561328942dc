// The drive chooser the options dialog opens, on the real SetDriveBox template: an entry of the common
// dialog's drive list chosen with OK, OK on the list as shown, Cancel, and the check of the list's entries.
#include <windows.h>

#include <commdlg.h>
#include <dlgs.h>
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <thread>

#include "state/install_state_win.h"
#include "options_dialog_fixture.h"
#include "resource.h"
#include "ui/drive_chooser_win.h"

namespace {

using quarn_test::FindThreadWindow;
using quarn_test::IsMessageBox;
using quarn_test::LoadA;
using quarn_test::OptionsDialog;
using quarn_test::WaitWindow;

// The chooser: select an entry of the common dialog's drive list and press OK, or cancel it.
class DriveChooser : public OptionsDialog {
 protected:
  // Runs the chooser; `act` gets the chooser window from the helper thread.
  void Choose(const std::function<void(HWND)>& act) {
    DWORD me = GetCurrentThreadId();
    std::thread helper([&] {
      HWND chooser = WaitWindow([&] {
        return FindThreadWindow(me, [](HWND h) { return GetDlgItem(h, cmb2) != nullptr && !IsMessageBox(h); });
      });
      if (!chooser) return;
      chooserSeen_ = true;
      char title[128] = "";
      GetWindowTextA(chooser, title, sizeof title);
      chooserTitle_ = title;
      act(chooser);
    });
    ChooseTargetDrive(dialog_);
    helper.join();
  }
  static int FindEntry(HWND chooser, char letter) {
    HWND list = GetDlgItem(chooser, cmb2);
    int n = static_cast<int>(SendMessageA(list, CB_GETCOUNT, 0, 0));
    for (int i = 0; i < n; ++i) {
      char t[256] = "";
      SendMessageA(list, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(t));
      entries_ += std::string(t) + " ";
      for (char* p = t; *p; ++p) {
        if ((*p | 0x20) == (letter | 0x20) && (p[1] == ':' || p[1] == '-')) return i;
      }
    }
    return -1;
  }
  static void SelectAndOk(HWND chooser, int index) {
    HWND list = GetDlgItem(chooser, cmb2);
    SendMessageA(list, CB_SETCURSEL, index, 0);
    SendMessageA(chooser, WM_COMMAND, MAKEWPARAM(cmb2, CBN_SELCHANGE), reinterpret_cast<LPARAM>(list));
    PostMessageA(chooser, WM_COMMAND, IDOK, 0);
  }
  bool chooserSeen_ = false;
  std::string chooserTitle_;
  static std::string entries_;
};
std::string DriveChooser::entries_;

TEST_F(DriveChooser, ChosenMappedDriveBecomesTargetAndCurrent) {
  int index = -1;
  Choose([&](HWND chooser) {
    index = FindEntry(chooser, 'v');
    if (index >= 0) SelectAndOk(chooser, index);
    else PostMessageA(chooser, WM_COMMAND, IDCANCEL, 0);
  });
  ASSERT_TRUE(chooserSeen_);
  EXPECT_EQ(chooserTitle_, "C\xe9l meghajt\xf3 kijel\xf6l\xe9se:");  // "Cél meghajtó kijelölése:"
  ASSERT_GE(index, 0) << "no V: in the list: " << entries_;
  EXPECT_TRUE(Boxes().empty());
  EXPECT_EQ(Field(), "V:");
  EXPECT_EQ(g_state.choices.targetDrive, 22);
  EXPECT_EQ(CurrentDrive(), "V:");
}

TEST_F(DriveChooser, OkWithoutChangingAppliesTheShownDrive) {
  // The list starts on the current drive: choose T: first, then OK on the unchanged list keeps T:.
  SetCurrentDirectoryA("T:\\");
  Choose([&](HWND chooser) { PostMessageA(chooser, WM_COMMAND, IDOK, 0); });
  ASSERT_TRUE(chooserSeen_);
  EXPECT_TRUE(Boxes().empty());
  EXPECT_EQ(Field(), "T:");
  EXPECT_EQ(g_state.choices.targetDrive, 20);
}

TEST_F(DriveChooser, CancelChangesNothing) {
  Choose([&](HWND chooser) {
    int index = FindEntry(chooser, 'w');
    if (index >= 0) SendMessageA(GetDlgItem(chooser, cmb2), CB_SETCURSEL, index, 0);
    PostMessageA(chooser, WM_COMMAND, IDCANCEL, 0);
  });
  ASSERT_TRUE(chooserSeen_);
  EXPECT_EQ(Field(), "C:");
  EXPECT_EQ(g_state.choices.targetDrive, 3);
  EXPECT_TRUE(Boxes().empty());
}

INT_PTR CALLBACK PlainDialogProc(HWND, UINT message, WPARAM, LPARAM) { return message == WM_INITDIALOG; }

TEST_F(DriveChooser, ListEntriesAreCheckedForALetterInBothForms) {
  // The chooser's template on its own, its drive list filled by hand.
  HWND chooser = CreateDialogParamA(g_state.windows.instance, "SetDriveBox", dialog_, PlainDialogProc, 0);
  ASSERT_NE(chooser, nullptr);
  HWND list = GetDlgItem(chooser, cmb2);
  struct Case {
    const char* entry;
    bool named;
  } cases[] = {{"d: [DATA]", true}, {"[-d-]", true},  {"W:", true},     {"1: [x]", false},
               {" c:", false},       {"\xe9:", false}, {"[-?-]", false}};
  for (const Case& c : cases) {
    SendMessageA(list, CB_RESETCONTENT, 0, 0);
    SendMessageA(list, CB_SETCURSEL, SendMessageA(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(c.entry)), 0);
    EXPECT_EQ(CheckChosenDrive(chooser), c.named) << c.entry;
    auto boxes = Boxes();
    if (c.named) {
      EXPECT_TRUE(boxes.empty()) << c.entry;
    } else {
      ASSERT_EQ(boxes.size(), 1u) << c.entry;
      EXPECT_EQ(boxes[0].text, LoadA(IDS_DRIVE_INVALID));
      EXPECT_EQ(boxes[0].owner, chooser);
    }
  }
  // Every placeholder the common dialog expects is in the template, zero-sized.
  for (int id : {stc1, stc2, stc3, stc4, edt1, lst1, lst2, cmb1, chx1, psh15}) {
    HWND h = GetDlgItem(chooser, id);
    ASSERT_NE(h, nullptr) << id;
    RECT r;
    GetWindowRect(h, &r);
    EXPECT_EQ(r.right - r.left, 0) << id;
  }
  DestroyWindow(chooser);
}

}  // namespace
