// The options dialog on the real QUARNWIN template, for the tests of the dialog and of the drive chooser it
// opens: message boxes are answered from a second thread, the way a user would, while the dialog's own modal
// loops run on the test thread; each box is recorded with its text, caption and owner.
#pragma once
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cctype>
#include <cstring>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "state/install_state_win.h"
#include "app/options_dialog_win.h"
#include "layout/description.h"
#include "resource.h"

namespace quarn_test {

inline std::string LoadA(UINT id) {
  char buf[256] = "";
  LoadStringA(GetModuleHandleA(nullptr), id, buf, sizeof buf);
  return buf;
}

// Polls `probe` until it yields a window or the time is up.
inline HWND WaitWindow(const std::function<HWND()>& probe, DWORD ms = 10000) {
  DWORD t0 = GetTickCount();
  for (;;) {
    HWND h = probe();
    if (h || GetTickCount() - t0 > ms) return h;
    Sleep(20);
  }
}

struct EnumFind {
  std::function<bool(HWND)> want;
  HWND found = nullptr;
};
inline BOOL CALLBACK EnumOne(HWND h, LPARAM lp) {
  auto* f = reinterpret_cast<EnumFind*>(lp);
  if (IsWindowVisible(h) && f->want(h)) {
    f->found = h;
    return FALSE;
  }
  return TRUE;
}
inline HWND FindThreadWindow(DWORD thread, const std::function<bool(HWND)>& want) {
  EnumFind f;
  f.want = want;
  EnumThreadWindows(thread, EnumOne, reinterpret_cast<LPARAM>(&f));
  return f.found;
}
// A message box of the program: a dialog window with its caption (string 29) and a text control. (The
// options dialog has statics with id -1 too, so the caption tells them apart.)
inline bool IsMessageBox(HWND h) {
  char cls[64] = "", caption[64] = "";
  GetClassNameA(h, cls, sizeof cls);
  GetWindowTextA(h, caption, sizeof caption);
  return strcmp(cls, "#32770") == 0 && GetDlgItem(h, 0xFFFF) != nullptr && caption == LoadA(IDS_CAPTION);
}

// What one message box showed.
struct BoxSeen {
  std::string caption, text;
  HWND owner = nullptr;
  LONG style = 0;
};

// Answers message boxes of the test thread with OK, recording each, until stopped.
class BoxAnswerer {
 public:
  explicit BoxAnswerer(DWORD thread) : thread_(thread), worker_([this] { Run(); }) {}
  ~BoxAnswerer() { Stop(); }
  void Stop() {
    stop_ = true;
    if (worker_.joinable()) worker_.join();
  }
  std::vector<BoxSeen> Take() {
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<BoxSeen> s;
    s.swap(seen_);
    return s;
  }

 private:
  void Run() {
    while (!stop_) {
      HWND box = FindThreadWindow(thread_, IsMessageBox);
      if (!box) {
        Sleep(20);
        continue;
      }
      BoxSeen s;
      char t[512] = "";
      GetWindowTextA(box, t, sizeof t);
      s.caption = t;
      GetDlgItemTextA(box, 0xFFFF, t, sizeof t);
      s.text = t;
      s.owner = GetWindow(box, GW_OWNER);
      {
        std::lock_guard<std::mutex> lock(mutex_);
        seen_.push_back(s);
      }
      PostMessageA(box, WM_COMMAND, IDOK, 0);
      while (IsWindow(box) && !stop_) Sleep(10);
    }
  }
  DWORD thread_;
  std::mutex mutex_;
  std::vector<BoxSeen> seen_;
  std::atomic<bool> stop_{false};
  std::thread worker_;
};

class OptionsDialog : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetInstallState();
    g_state.windows.instance = GetModuleHandleA(nullptr);
    LoadStringA(g_state.windows.instance, IDS_CAPTION, g_state.process.caption, sizeof g_state.process.caption);
    // Leftovers a real run would not have: the dialog must clear the presence marks itself.
    g_state.choices.discTable[3].present[kProjects] = 1;
    g_state.choices.discTable[0].present[kProjects] = 1;
    SetCurrentDirectoryA("C:\\");
    answerer_ = new BoxAnswerer(GetCurrentThreadId());
    dialog_ = CreateDialogParamA(g_state.windows.instance, "QuarnWin", nullptr, OptionsDialogProc, 0);
    ASSERT_NE(dialog_, nullptr);
    ShowWindow(dialog_, SW_SHOW);
  }
  void TearDown() override {
    if (IsWindow(dialog_)) DestroyWindow(dialog_);
    delete answerer_;
  }
  // The boxes shown since the last call.
  std::vector<BoxSeen> Boxes() {
    Pump();
    return answerer_->Take();
  }
  void Pump() {
    MSG m;
    while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&m);
  }
  std::string Field() {
    char t[64] = "";
    GetDlgItemTextA(dialog_, IDC_DRIVE_EDIT, t, sizeof t);
    return t;
  }
  // Types characters at the end of the field, as the keyboard would.
  void TypeAtEnd(const char* chars) {
    HWND edit = GetDlgItem(dialog_, IDC_DRIVE_EDIT);
    for (const char* c = chars; *c; ++c) {
      SendMessageA(edit, EM_SETSEL, 255, 255);
      SendMessageA(edit, WM_CHAR, static_cast<unsigned char>(*c), 1);
    }
  }
  void Click(int id) {
    SendMessageA(dialog_, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog_, id)));
  }
  bool Checked(int id) { return IsDlgButtonChecked(dialog_, id) == BST_CHECKED; }
  bool Enabled(int id) { return IsWindowEnabled(GetDlgItem(dialog_, id)) != FALSE; }
  // The current drive, upper case ("T:"); the system may keep the letter in the case it was given.
  static std::string CurrentDrive() {
    char d[MAX_PATH] = "";
    GetCurrentDirectoryA(sizeof d, d);
    return std::string({static_cast<char>(toupper(static_cast<unsigned char>(d[0]))), d[1]});
  }

  BoxAnswerer* answerer_ = nullptr;
  HWND dialog_ = nullptr;
};

}  // namespace quarn_test
