// The web dialog's display under Wine: what reaches the dialog's controls from the worker thread, that a
// write which changes nothing is never sent, that a write which changes something does not make the
// worker wait on the dialog's thread, that whatever the worker asks of the dialog next comes after every
// earlier write, and that either side may go first without touching freed memory.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "resource.h"
#include "state/install_state_win.h"
#include "ui/web_display_win.h"
#include "web/file_transfer_win.h"

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
    Subclass(CreateWindowA("BUTTON", "Megszak\xedt\xe1s", WS_CHILD | WS_DISABLED, 0, 0, 100, 20, dialog_,
                           reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDCANCEL)), wc.hInstance, nullptr));
  }
  ~CountingDialog() { DestroyWindow(dialog_); }
  HWND dialog() const { return dialog_; }

  // Writes received per control id: WM_SETTEXT for the fields, PBM_SETPOS for the bar.
  std::map<int, int>& writes() { return writes_; }
  std::vector<std::string>& events() { return events_; }
  // Every write in the order the controls received it: "<id>=<text>" or "<id>=<position>".
  std::vector<std::string>& sequence() { return sequence_; }
  // What the status field showed whenever a request of another thread (a command, a clip, anything sent
  // to a control but the queued writes) reached the dialog: what the user saw as it was carried out.
  std::vector<std::string>& statusAtRequests() { return statusAtRequests_; }
  std::string text(int id) const {
    char t[512] = "";
    GetDlgItemTextA(dialog_, id, t, sizeof t);
    return t;
  }

  // Runs f on another thread, as the worker runs, while this thread pumps the dialog's messages.
  bool RunOnWorker(std::function<void()> f) {
    HANDLE t = CreateThread(nullptr, 0, Trampoline, &f, 0, nullptr);
    if (t == nullptr) return false;
    const bool ended = PumpUntilEnded(t);
    CloseHandle(t);
    return ended;
  }

  // Pumps this thread's messages until thread t has ended (false: not within 30 s), then the ones left.
  static bool PumpUntilEnded(HANDLE t) {
    bool ended = false;
    const DWORD start = GetTickCount();
    while (!ended && GetTickCount() - start < 30000) {
      DWORD w = MsgWaitForMultipleObjects(1, &t, FALSE, 30000, QS_ALLINPUT);
      ended = w == WAIT_OBJECT_0;
      MSG m;
      while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&m);
    }
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
    // The queued writes arrive inside the display's own message: only what else reaches a control counts.
    const bool write = (m == WM_SETTEXT || m == PBM_SETPOS) && GetDlgCtrlID(w) != IDCANCEL;
    if (self && !write) self->NoteRequest(m);
    if (self && write) {
      ++self->writes_[GetDlgCtrlID(w)];
      self->sequence_.push_back(std::to_string(GetDlgCtrlID(w)) + "=" +
                                (m == PBM_SETPOS ? std::to_string(wp) : std::string(lp ? reinterpret_cast<const char*>(lp) : "")));
    }
    return CallWindowProcA(reinterpret_cast<WNDPROC>(GetPropA(w, "old")), w, m, wp, lp);
  }
  static LRESULT CALLBACK DialogProc(HWND w, UINT m, WPARAM wp, LPARAM lp) {
    auto* self = static_cast<CountingDialog*>(GetPropA(w, "counter"));
    if (self && (m == WM_COMMAND || m == kWebPlayClipMessage)) self->NoteRequest(m);
    if (HandleWebDisplayMessage(w, m, wp, lp)) return 0;  // the display's queued writes, as the dialog does
    if (self && m == WM_COMMAND) self->events_.push_back("command " + std::to_string(LOWORD(wp)));
    if (self && m == kWebPlayClipMessage) {
      self->events_.push_back("clip " + std::to_string(lp) + " over " + std::to_string(wp));
      return TRUE;
    }
    return DefWindowProcA(w, m, wp, lp);
  }
  void NoteRequest(UINT m) {
    if (noting_ || !InSendMessage() || m == kWebApplyWritesMessage || m == kWebWriteQueueMessage) return;
    noting_ = true;  // reading the field sends it a message of this thread's own
    statusAtRequests_.push_back(text(IDC_WEB_STATUS));
    noting_ = false;
  }
  HWND dialog_ = nullptr;
  bool noting_ = false;
  std::vector<std::string> statusAtRequests_;
  std::map<int, int> writes_;
  std::vector<std::string> events_;
  std::vector<std::string> sequence_;
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

// A changed value is queued for the dialog's thread: the worker goes on while that thread is busy (here:
// not pumping at all), and once it pumps again the controls receive every value, in the order written.
TEST(WebDisplay, AChangedValueDoesNotWaitForTheDialogsThread) {
  CountingDialog host;
  WebDisplay display(host.dialog());
  struct Step {
    std::string status, percent, activity;
    int bar;
  };
  std::vector<Step> steps;
  std::vector<std::string> expected;
  for (int i = 1; i <= 200; ++i) {
    char percent[16];
    snprintf(percent, sizeof percent, "%5.1f%%", i / 2.0);
    steps.push_back({"http://... .../KelvaranDemo/Disc_01/f" + std::to_string(i) + ".dat", percent,
                     i % 2 ? "|" : "", i * 5});
    const Step& s = steps.back();
    for (const std::string& e :
         {std::to_string(IDC_WEB_STATUS) + "=" + s.status, std::to_string(IDC_WEB_PERCENT) + "=" + s.percent,
          std::to_string(IDC_WEB_PROGRESS) + "=" + std::to_string(s.bar),
          std::to_string(IDC_WEB_ACTIVITY) + "=" + s.activity}) {
      expected.push_back(e);
    }
  }
  std::function<void()> write = [&] {
    for (const Step& s : steps) {
      display.ShowStatus(s.status.c_str());
      display.ShowPercent(s.percent.c_str());
      display.ShowBar(s.bar);
      display.ShowActivity(s.activity.c_str());
    }
  };
  HANDLE worker = CreateThread(nullptr, 0, CountingDialog::Trampoline, &write, 0, nullptr);
  ASSERT_NE(worker, nullptr);
  const DWORD waited = WaitForSingleObject(worker, 20000);  // no message is pumped meanwhile
  EXPECT_EQ(waited, WAIT_OBJECT_0) << "the worker waited on the dialog's thread for a changed value";
  EXPECT_TRUE(host.sequence().empty()) << "written from the worker's thread, not the dialog's";
  if (waited != WAIT_OBJECT_0) CountingDialog::PumpUntilEnded(worker);
  CloseHandle(worker);

  MSG m;
  while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&m);  // the dialog's thread runs again
  EXPECT_EQ(host.sequence(), expected);
  EXPECT_EQ(host.text(IDC_WEB_STATUS), steps.back().status);
  EXPECT_EQ(host.text(IDC_WEB_PERCENT), "100.0%");
  EXPECT_EQ(host.text(IDC_WEB_ACTIVITY), "");
  EXPECT_EQ(SendDlgItemMessageA(host.dialog(), IDC_WEB_PROGRESS, PBM_GETPOS, 0, 0), 1000);
}

// The writes waiting for a held dialog are bounded: the worker that would queue one more waits on the
// dialog's thread (a sent message arrives there) with every earlier write still unapplied, and once the
// dialog runs every value is shown, in order.
TEST(WebDisplay, AHeldDialogMakesTheWorkerWaitOnceTheQueueIsFull) {
  CountingDialog host;
  WebDisplay display(host.dialog());
  const int count = static_cast<int>(3 * kMaxPendingWebWrites);
  std::vector<std::string> expected;
  for (int i = 0; i < count; ++i) expected.push_back(std::to_string(IDC_WEB_STATUS) + "=f" + std::to_string(i));
  std::function<void()> write = [&] {
    for (int i = 0; i < count; ++i) display.ShowStatus(("f" + std::to_string(i)).c_str());
  };
  HANDLE worker = CreateThread(nullptr, 0, CountingDialog::Trampoline, &write, 0, nullptr);
  ASSERT_NE(worker, nullptr);
  // Wakes for a message sent to this thread (the worker's wait) or for the worker's end, without
  // dispatching the posted batches.
  const DWORD woke = MsgWaitForMultipleObjects(1, &worker, FALSE, 20000, QS_SENDMESSAGE);
  EXPECT_EQ(woke, WAIT_OBJECT_0 + 1) << "the worker queued every write without ever waiting";
  EXPECT_TRUE(host.sequence().empty());
  EXPECT_EQ(WaitForSingleObject(worker, 0), static_cast<DWORD>(WAIT_TIMEOUT)) << "the worker is waiting";
  EXPECT_TRUE(CountingDialog::PumpUntilEnded(worker));
  CloseHandle(worker);
  EXPECT_EQ(host.sequence(), expected);
}

// Whatever the worker asks of the dialog after some writes (a box's owner, Cancel, a clip, an end) reaches
// it only after those writes have been applied: the user never sees a box while the status line still
// names an older file. The dialog's thread is held until the worker has asked; a message sent to it is
// carried out before the posted ones, so a request that did not wait for the writes first would reach
// the dialog while its status line is still empty.
TEST(WebDisplay, WhatTheWorkerAsksNextComesAfterTheWritesBeforeIt) {
  const struct {
    const char* name;
    std::function<void(std::unique_ptr<WebDisplay>&)> ask;
  } cases[] = {
      {"the owner of a message box", [](std::unique_ptr<WebDisplay>& d) { EXPECT_NE(d->owner(), nullptr); }},
      {"Cancel asked for by the copy", [](std::unique_ptr<WebDisplay>& d) { d->AskCancel(); }},
      {"a clip played", [](std::unique_ptr<WebDisplay>& d) { d->PlayClip(WebClip::kInstall); }},
      {"a clip changed", [](std::unique_ptr<WebDisplay>& d) { d->ChangeClip(WebClip::kDownload); }},
      {"the clip stopped", [](std::unique_ptr<WebDisplay>& d) { d->StopClip(); }},
      {"the progress uncovered", [](std::unique_ptr<WebDisplay>& d) { d->RevealProgress(); }},
      {"the exit button", [](std::unique_ptr<WebDisplay>& d) { d->ShowExitButton("Kil\xe9p\xe9s"); }},
      {"success reported", [](std::unique_ptr<WebDisplay>& d) { d->ReportSuccess(); }},
      {"the worker's end", [](std::unique_ptr<WebDisplay>& d) { d.reset(); }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    CountingDialog host;
    auto display = std::make_unique<WebDisplay>(host.dialog());
    HANDLE written = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    ASSERT_NE(written, nullptr);
    std::string seen = "(not read)";
    std::function<void()> worker = [&] {
      for (const char* f : {"a.dat", "b.dat", "c.dat"}) display->ShowStatus(f);
      display->ShowBar(300);
      SetEvent(written);
      c.ask(display);
      char text[64] = "";
      GetDlgItemTextA(host.dialog(), IDC_WEB_STATUS, text, sizeof text);  // carried out on the dialog's thread
      seen = text;
    };
    HANDLE t = CreateThread(nullptr, 0, CountingDialog::Trampoline, &worker, 0, nullptr);
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(WaitForSingleObject(written, 20000), WAIT_OBJECT_0);
    // Held until the worker's next request has arrived (a sent message), then pumping again.
    EXPECT_EQ(MsgWaitForMultipleObjects(0, nullptr, FALSE, 20000, QS_SENDMESSAGE), WAIT_OBJECT_0);
    EXPECT_TRUE(CountingDialog::PumpUntilEnded(t));
    CloseHandle(t);
    CloseHandle(written);
    EXPECT_EQ(seen, "c.dat");
    ASSERT_FALSE(host.statusAtRequests().empty());
    for (const std::string& status : host.statusAtRequests()) EXPECT_EQ(status, "c.dat");
    EXPECT_EQ(host.sequence(), (std::vector<std::string>{std::to_string(IDC_WEB_STATUS) + "=a.dat",
                                                         std::to_string(IDC_WEB_STATUS) + "=b.dat",
                                                         std::to_string(IDC_WEB_STATUS) + "=c.dat",
                                                         std::to_string(IDC_WEB_PROGRESS) + "=300"}));
  }
}

// The dialog may be destroyed while writes are pending (the user closes it as the worker ends), and the
// worker's display may end while its message to apply them is still posted. Either way round, many
// times: nothing hangs, nothing touches freed memory, and writes to a dialog that is gone are dropped.
TEST(WebDisplay, TheDialogOrTheDisplayMayGoFirst) {
  for (int round = 0; round < 60; ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    {  // the dialog first, with writes pending and more to come
      auto host = std::make_unique<CountingDialog>();
      auto display = std::make_unique<WebDisplay>(host->dialog());
      HANDLE written = CreateEventA(nullptr, TRUE, FALSE, nullptr);
      HANDLE destroyed = CreateEventA(nullptr, TRUE, FALSE, nullptr);
      ASSERT_TRUE(written != nullptr && destroyed != nullptr);
      std::function<void()> worker = [&] {
        for (int i = 0; i < 50; ++i) display->ShowStatus(("before " + std::to_string(i)).c_str());
        SetEvent(written);
        WaitForSingleObject(destroyed, 20000);
        for (int i = 0; i < 50; ++i) display->ShowStatus(("after " + std::to_string(i)).c_str());
        display->ShowBar(round);
        EXPECT_NE(display->owner(), nullptr);  // a flush to a dialog that is gone returns at once
        display.reset();
      };
      HANDLE t = CreateThread(nullptr, 0, CountingDialog::Trampoline, &worker, 0, nullptr);
      ASSERT_NE(t, nullptr);
      EXPECT_EQ(WaitForSingleObject(written, 20000), WAIT_OBJECT_0);
      if (round % 2 == 1) {  // some writes applied, a batch still pending
        MSG m;
        if (PeekMessageA(&m, host->dialog(), kWebApplyWritesMessage, kWebApplyWritesMessage, PM_REMOVE)) {
          DispatchMessageA(&m);
        }
      }
      host.reset();
      SetEvent(destroyed);
      EXPECT_TRUE(CountingDialog::PumpUntilEnded(t));
      CloseHandle(t);
      CloseHandle(written);
      CloseHandle(destroyed);
    }
    {  // the display first, its message to apply the writes still posted
      CountingDialog host;
      auto display = std::make_unique<WebDisplay>(host.dialog());
      std::function<void()> worker = [&] {
        for (int i = 0; i < 50; ++i) display->ShowStatus(("file " + std::to_string(i)).c_str());
        display.reset();  // waits until the writes are applied; the posted message stays behind
      };
      HANDLE t = CreateThread(nullptr, 0, CountingDialog::Trampoline, &worker, 0, nullptr);
      ASSERT_NE(t, nullptr);
      // Only sent messages are carried out meanwhile: the posted one is left for after the display's end.
      bool ended = false;
      const DWORD start = GetTickCount();
      while (!ended && GetTickCount() - start < 30000) {
        ended = MsgWaitForMultipleObjects(1, &t, FALSE, 30000, QS_SENDMESSAGE) == WAIT_OBJECT_0;
        MSG m;
        PeekMessageA(&m, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
      }
      EXPECT_TRUE(ended);
      CloseHandle(t);
      EXPECT_EQ(host.text(IDC_WEB_STATUS), "file 49");
      MSG m;
      EXPECT_TRUE(PeekMessageA(&m, host.dialog(), kWebApplyWritesMessage, kWebApplyWritesMessage, PM_NOREMOVE))
          << "the case is the one meant: a message posted by a display that is gone";
      if (round % 2 == 1) DestroyWindow(host.dialog());  // then the dialog too, before the message is taken
      while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&m);
      EXPECT_EQ(host.writes()[IDC_WEB_STATUS], 50);
    }
  }
}

// The transfers of a download in flight at once all count into one progress through one display: every
// byte counts once, and the bar and the percentage the dialog receives only grow, ending at the whole.
TEST(WebDisplay, SeveralTransfersCountIntoOneProgressThatOnlyGrows) {
  constexpr int kTransfers = 4;
  constexpr int kChunks = 1500;
  constexpr DWORD kChunk = 1000;
  CountingDialog host;
  ASSERT_NE(host.dialog(), nullptr);
  RemoteDescription saved = g_state.download.remote;
  g_state.download.remote.bytesDone = 0;
  g_state.download.remote.overallTotal = kTransfers * kChunks * static_cast<int32_t>(kChunk);
  {
    WebDisplay display(host.dialog());
    std::vector<std::function<void()>> transfers;
    for (int t = 0; t < kTransfers; ++t) {
      transfers.push_back([&display, t] {
        for (int i = 0; i < kChunks; ++i) {
          if (i % 100 == 0) display.ShowStatus(("file " + std::to_string(t) + "-" + std::to_string(i)).c_str());
          AdvanceProgress(display, kChunk);
          display.ShowActivity(i % 2 ? "|" : "/");
        }
      });
    }
    std::vector<HANDLE> threads;
    for (auto& f : transfers) {
      HANDLE h = CreateThread(nullptr, 0, CountingDialog::Trampoline, &f, 0, nullptr);
      ASSERT_NE(h, nullptr);
      threads.push_back(h);
    }
    for (HANDLE h : threads) {
      EXPECT_TRUE(CountingDialog::PumpUntilEnded(h));
      CloseHandle(h);
    }
  }
  MSG m;
  while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&m);
  const int32_t done = g_state.download.remote.bytesDone;
  const int32_t total = g_state.download.remote.overallTotal;
  g_state.download.remote = saved;
  EXPECT_EQ(done, total);
  int lastBar = -1;
  double lastPercent = -1.0;
  int bars = 0;
  const std::string barPrefix = std::to_string(IDC_WEB_PROGRESS) + "=";
  const std::string percentPrefix = std::to_string(IDC_WEB_PERCENT) + "=";
  for (const std::string& write : host.sequence()) {
    if (write.compare(0, barPrefix.size(), barPrefix) == 0) {
      const int bar = std::atoi(write.c_str() + barPrefix.size());
      EXPECT_GT(bar, lastBar) << "the bar went back or repeated: " << write;
      lastBar = bar;
      ++bars;
    } else if (write.compare(0, percentPrefix.size(), percentPrefix) == 0) {
      const double percent = std::atof(write.c_str() + percentPrefix.size());
      EXPECT_GT(percent, lastPercent) << "the percentage went back or repeated: " << write;
      lastPercent = percent;
    }
  }
  EXPECT_EQ(lastBar, 1000);
  EXPECT_EQ(lastPercent, 100.0);
  EXPECT_GT(bars, 100);
  EXPECT_EQ(host.text(IDC_WEB_PERCENT), "100.0%");
}
