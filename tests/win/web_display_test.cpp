// The web dialog's display under Wine: what reaches the dialog's controls from the worker thread, and
// that a write which changes nothing is never sent (the worker would wait on the dialog's thread for it).
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "resource.h"
#include "ui/web_display_win.h"

namespace {

// A stand-in for the web installation dialog: the display's fields, its bar and its Cancel button,
// each counting the writes it receives; the window itself records the commands and clip requests.
class CountingDialog {
 public:
  CountingDialog() {
    INITCOMMONCONTROLSEX icc = {sizeof icc, ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&icc);
    WNDCLASSA wc{};
    wc.lpfnWndProc = DialogProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "WebDisplayTestDialog";
    RegisterClassA(&wc);
    dialog_ = CreateWindowA(wc.lpszClassName, "", WS_POPUP, 0, 0, 400, 300, nullptr, nullptr, wc.hInstance, nullptr);
    SetPropA(dialog_, "counter", this);
    for (int id : {IDC_WEB_TITLE, IDC_WEB_STATUS, IDC_WEB_PERCENT, IDC_WEB_ACTIVITY, IDC_WEB_FRAME}) {
      Subclass(CreateWindowA("STATIC", "", WS_CHILD, 0, 0, 100, 20, dialog_,
                             reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), wc.hInstance, nullptr));
    }
    HWND bar = CreateWindowA(PROGRESS_CLASSA, "", WS_CHILD, 0, 0, 100, 20, dialog_,
                             reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDC_WEB_PROGRESS)), wc.hInstance, nullptr);
    SendMessageA(bar, PBM_SETRANGE32, 0, 1000);  // as the dialog sets it up
    Subclass(bar);
    CreateWindowA("BUTTON", "Megszak\xedt\xe1s", WS_CHILD | WS_DISABLED, 0, 0, 100, 20, dialog_,
                  reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDCANCEL)), wc.hInstance, nullptr);
  }
  ~CountingDialog() { DestroyWindow(dialog_); }
  HWND dialog() const { return dialog_; }

  // Writes received per control id: WM_SETTEXT for the fields, PBM_SETPOS for the bar.
  std::map<int, int>& writes() { return writes_; }
  std::vector<std::string>& events() { return events_; }
  std::string text(int id) const {
    char t[512] = "";
    GetDlgItemTextA(dialog_, id, t, sizeof t);
    return t;
  }

  // Runs f on another thread, as the worker runs, while this thread pumps the dialog's messages.
  bool RunOnWorker(std::function<void()> f) {
    HANDLE t = CreateThread(nullptr, 0, Trampoline, &f, 0, nullptr);
    if (t == nullptr) return false;
    bool ended = false;
    const DWORD start = GetTickCount();
    while (!ended && GetTickCount() - start < 30000) {
      DWORD w = MsgWaitForMultipleObjects(1, &t, FALSE, 30000, QS_ALLINPUT);
      ended = w == WAIT_OBJECT_0;
      MSG m;
      while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&m);
    }
    CloseHandle(t);
    return ended;
  }

  static DWORD WINAPI Trampoline(LPVOID f) {
    (*static_cast<std::function<void()>*>(f))();
    return 0;
  }

 private:
  void Subclass(HWND control) {
    SetPropA(control, "counter", this);
    SetPropA(control, "old", reinterpret_cast<HANDLE>(
                                 SetWindowLongPtrA(control, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(ControlProc))));
  }
  static LRESULT CALLBACK ControlProc(HWND w, UINT m, WPARAM wp, LPARAM lp) {
    auto* self = static_cast<CountingDialog*>(GetPropA(w, "counter"));
    if (self && (m == WM_SETTEXT || m == PBM_SETPOS)) ++self->writes_[GetDlgCtrlID(w)];
    return CallWindowProcA(reinterpret_cast<WNDPROC>(GetPropA(w, "old")), w, m, wp, lp);
  }
  static LRESULT CALLBACK DialogProc(HWND w, UINT m, WPARAM wp, LPARAM lp) {
    auto* self = static_cast<CountingDialog*>(GetPropA(w, "counter"));
    if (self && m == WM_COMMAND) self->events_.push_back("command " + std::to_string(LOWORD(wp)));
    if (self && m == kWebPlayClipMessage) {
      self->events_.push_back("clip " + std::to_string(lp) + " over " + std::to_string(wp));
      return TRUE;
    }
    return DefWindowProcA(w, m, wp, lp);
  }
  HWND dialog_ = nullptr;
  std::map<int, int> writes_;
  std::vector<std::string> events_;
};

struct SendCase {
  const char* name;
  std::function<void(WebDisplay&)> show;
  std::map<int, int> writes;  // what reaches each control
};

}  // namespace

TEST(WebDisplay, RepeatedEqualValuesSendNothingToTheDialog) {
  const SendCase cases[] = {
      {"a percentage shown twice is sent once",
       [](WebDisplay& d) {
         d.ShowPercent(" 25.0%");
         d.ShowPercent(" 25.0%");
       },
       {{IDC_WEB_PERCENT, 1}}},
      {"each change of the percentage is sent",
       [](WebDisplay& d) {
         for (const char* p : {" 24.9%", " 25.0%", " 25.0%", " 25.1%", " 25.1%"}) d.ShowPercent(p);
       },
       {{IDC_WEB_PERCENT, 3}}},
      {"the bar moves only when its position changes",
       [](WebDisplay& d) {
         for (int p : {10, 10, 10, 11, 11, 1000}) d.ShowBar(p);
       },
       {{IDC_WEB_PROGRESS, 3}}},
      {"an emptied activity field is emptied once",
       [](WebDisplay& d) {
         for (const char* f : {"|", "/", "", "", ""}) d.ShowActivity(f);
       },
       {{IDC_WEB_ACTIVITY, 3}}},
      {"one status text per file, the same title once",
       [](WebDisplay& d) {
         for (const char* s : {"a.dat", "a.dat", "b.dat", "b.dat"}) d.ShowStatus(s);
         d.ShowTitle("T");
         d.ShowTitle("T");
         d.ShowFrameText("F");
         d.ShowFrameText("F");
       },
       {{IDC_WEB_STATUS, 2}, {IDC_WEB_TITLE, 1}, {IDC_WEB_FRAME, 1}}},
      {"the same text in different fields is sent to each",
       [](WebDisplay& d) {
         d.ShowPercent("x");
         d.ShowActivity("x");
         d.ShowStatus("x");
       },
       {{IDC_WEB_PERCENT, 1}, {IDC_WEB_ACTIVITY, 1}, {IDC_WEB_STATUS, 1}}},
  };
  for (const SendCase& c : cases) {
    SCOPED_TRACE(c.name);
    CountingDialog host;
    ASSERT_NE(host.dialog(), nullptr);
    WebDisplay display(host.dialog());
    ASSERT_TRUE(host.RunOnWorker([&] { c.show(display); }));
    EXPECT_EQ(host.writes(), c.writes);
  }
}

TEST(WebDisplay, WhatIsShownIsTheLastValueGiven) {
  CountingDialog host;
  WebDisplay display(host.dialog());
  ASSERT_TRUE(host.RunOnWorker([&] {
    display.ShowStatus("http://... .../KelvaranDemo/Disc_01/a.dat");
    display.ShowPercent(" 12.5%");
    display.ShowActivity("|");
    display.ShowBar(125);
    display.ShowActivity("");
  }));
  EXPECT_EQ(host.text(IDC_WEB_STATUS), "http://... .../KelvaranDemo/Disc_01/a.dat");
  EXPECT_EQ(host.text(IDC_WEB_PERCENT), " 12.5%");
  EXPECT_EQ(host.text(IDC_WEB_ACTIVITY), "");
  EXPECT_EQ(SendDlgItemMessageA(host.dialog(), IDC_WEB_PROGRESS, PBM_GETPOS, 0, 0), 125);
}

// The dialog's thread is busy (here: not pumping at all); a worker repeating what is shown must go on
// without waiting for it. A write that were sent would wait until this thread pumps again.
TEST(WebDisplay, AnUnchangedValueDoesNotWaitForTheDialogsThread) {
  CountingDialog host;
  WebDisplay display(host.dialog());
  auto showAll = [&] {
    display.ShowTitle("T");
    display.ShowStatus("S");
    display.ShowPercent(" 50.0%");
    display.ShowActivity("");
    display.ShowFrameText("F");
    display.ShowBar(500);
  };
  ASSERT_TRUE(host.RunOnWorker(showAll));
  const std::map<int, int> first = host.writes();

  std::function<void()> again = showAll;
  HANDLE worker = CreateThread(nullptr, 0, CountingDialog::Trampoline, &again, 0, nullptr);
  ASSERT_NE(worker, nullptr);
  const DWORD waited = WaitForSingleObject(worker, 20000);  // no message is pumped meanwhile
  EXPECT_EQ(waited, WAIT_OBJECT_0) << "the worker waited on the dialog's thread for an unchanged value";
  if (waited != WAIT_OBJECT_0) {
    MSG m;
    while (MsgWaitForMultipleObjects(1, &worker, FALSE, 30000, QS_ALLINPUT) == WAIT_OBJECT_0 + 1) {
      while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&m);
    }
  }
  CloseHandle(worker);
  EXPECT_EQ(host.writes(), first);
}

TEST(WebDisplay, ClipsAndEndsReachTheDialog) {
  CountingDialog host;
  WebDisplay display(host.dialog());
  ASSERT_TRUE(host.RunOnWorker([&] {
    display.PlayClip(WebClip::kConnect);
    display.AskCancel();
    display.ShowExitButton("Kil\xe9p\xe9s");
    display.ReportSuccess();
  }));
  MSG m;
  while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&m);  // the posted success
  EXPECT_EQ(host.events(), (std::vector<std::string>{
                               "clip " + std::to_string(IDR_CLIP_CONNECT) + " over " + std::to_string(IDC_WEB_FRAME),
                               "command " + std::to_string(IDM_WEB_ABORT), "command " + std::to_string(IDM_WEB_SUCCESS)}));
  HWND button = GetDlgItem(host.dialog(), IDCANCEL);
  char text[64] = "";
  GetWindowTextA(button, text, sizeof text);
  EXPECT_STREQ(text, "Kil\xe9p\xe9s");  // "Kilépés"
  EXPECT_TRUE(IsWindowEnabled(button));
}

TEST(WebDisplay, WithoutADialogNothingIsShownAndBoxesHaveNoOwner) {
  CountingDialog host;
  WebDisplay none;
  EXPECT_EQ(none.owner(), nullptr);
  none.ShowTitle("T");
  none.ShowBar(5);
  none.PlayClip(WebClip::kInstall);
  none.AskCancel();
  none.ReportSuccess();
  MSG m;
  while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&m);
  EXPECT_TRUE(host.writes().empty());
  EXPECT_TRUE(host.events().empty());
}
