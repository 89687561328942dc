// The web installation dialog and its worker under Wine: the template, the clips, the display set-up and
// the end of a run that finds no server. The dialog runs modally on the test thread, as in the program;
// a second thread plays the user. The test ports of this build have no server during these tests.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <cwctype>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "state/install_state_win.h"
#include "app/web_dialog_win.h"
#include "app/worker_texts.h"
#include "build_config.h"
#include "resource.h"
#include "worker_start.h"

namespace {

// ---- the template, read from the resource as the dialog manager reads it --------------------------------
struct TemplateItem {
  DWORD exStyle, style;
  short x, y, cx, cy;
  DWORD id;
  std::wstring cls;  // class name, or "#N" for a predefined class ordinal
  std::wstring text;
};
struct Template {
  DWORD style;
  short x, y, cx, cy;
  std::wstring title, font;
  WORD pointSize;
  std::vector<TemplateItem> items;
};

std::wstring ReadSzOrOrd(const WORD*& p) {
  if (*p == 0x0000) {
    ++p;
    return L"";
  }
  if (*p == 0xFFFF) {
    std::wstring s = L"#" + std::to_wstring(p[1]);
    p += 2;
    return s;
  }
  std::wstring s(reinterpret_cast<const wchar_t*>(p));
  p += s.size() + 1;
  return s;
}

bool LoadTemplate(Template* t) {
  HMODULE module = GetModuleHandleA(nullptr);
  HRSRC res = FindResourceA(module, "WebLoadBox", MAKEINTRESOURCEA(5) /* RT_DIALOG */);
  if (!res) return false;
  const WORD* p = static_cast<const WORD*>(LockResource(LoadResource(module, res)));
  if (!p || p[0] != 1 || p[1] != 0xFFFF) return false;  // DLGTEMPLATEEX
  const BYTE* b = reinterpret_cast<const BYTE*>(p);
  DWORD style;
  memcpy(&style, b + 12, 4);
  t->style = style;
  WORD count = *reinterpret_cast<const WORD*>(b + 16);
  const short* xy = reinterpret_cast<const short*>(b + 18);
  t->x = xy[0], t->y = xy[1], t->cx = xy[2], t->cy = xy[3];
  p = reinterpret_cast<const WORD*>(b + 26);
  ReadSzOrOrd(p);  // menu
  ReadSzOrOrd(p);  // class
  t->title = reinterpret_cast<const wchar_t*>(p);
  p += t->title.size() + 1;
  if (style & DS_SETFONT) {
    t->pointSize = p[0];
    p += 3;  // point size, weight, italic + charset
    t->font = reinterpret_cast<const wchar_t*>(p);
    p += t->font.size() + 1;
  }
  for (WORD i = 0; i < count; ++i) {
    uintptr_t a = reinterpret_cast<uintptr_t>(p);
    p = reinterpret_cast<const WORD*>((a + 3) & ~uintptr_t{3});
    const BYTE* ib = reinterpret_cast<const BYTE*>(p);
    TemplateItem item{};
    memcpy(&item.exStyle, ib + 4, 4);
    memcpy(&item.style, ib + 8, 4);
    const short* ixy = reinterpret_cast<const short*>(ib + 12);
    item.x = ixy[0], item.y = ixy[1], item.cx = ixy[2], item.cy = ixy[3];
    memcpy(&item.id, ib + 20, 4);
    p = reinterpret_cast<const WORD*>(ib + 24);
    item.cls = ReadSzOrOrd(p);
    item.text = ReadSzOrOrd(p);
    WORD extra = *p++;
    p = reinterpret_cast<const WORD*>(reinterpret_cast<const BYTE*>(p) + extra);
    t->items.push_back(item);
  }
  return true;
}

// The class as the dialog manager resolves it: predefined ordinals by name, case ignored.
std::wstring ClassName(const std::wstring& cls) {
  if (cls == L"#128") return L"BUTTON";
  if (cls == L"#130") return L"STATIC";
  std::wstring upper = cls;
  for (wchar_t& c : upper) c = static_cast<wchar_t>(towupper(c));
  return upper;
}

std::string ToCp1250(const std::wstring& w) {
  char buf[512] = "";
  WideCharToMultiByte(1250, 0, w.c_str(), -1, buf, sizeof buf, nullptr, nullptr);
  return buf;
}

TEST(WebLoadTemplate, MatchesTheLayoutTable) {
  Template t{};
  ASSERT_TRUE(LoadTemplate(&t));
  const DWORD dialogStyles = WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT | DS_3DLOOK;
  EXPECT_EQ(t.style, dialogStyles);
  EXPECT_EQ(t.x, 0);
  EXPECT_EQ(t.y, 0);
  EXPECT_EQ(t.cx, 350);
  EXPECT_EQ(t.cy, 188);
  EXPECT_EQ(ToCp1250(t.title), "QuarnCAD DEMO let\xf6lt\xe9s a WEB-r\xf5l:");
  EXPECT_EQ(t.font, L"MS Sans Serif");
  EXPECT_EQ(t.pointSize, 8);

  struct Expected {
    DWORD id;
    const wchar_t* cls;
    DWORD style;  // beside WS_CHILD | WS_VISIBLE
    DWORD exStyle;
    short x, y, cx, cy;
  } const expected[] = {
      {3202, L"#130", SS_CENTER | SS_EDITCONTROL, WS_EX_CLIENTEDGE, 15, 10, 320, 60},
      {3201, L"#130", SS_CENTER | SS_CENTERIMAGE, 0, 15, 82, 320, 18},
      {508, L"#130", SS_LEFT | SS_CENTERIMAGE, WS_EX_CLIENTEDGE, 15, 112, 320, 14},
      {3206, L"msctls_progress32", WS_BORDER | PBS_SMOOTH | PBS_MARQUEE, 0, 15, 132, 320, 16},
      {521, L"#130", SS_CENTER | SS_CENTERIMAGE, 0, 282, 152, 14, 14},
      {520, L"#130", SS_LEFT | SS_CENTERIMAGE, WS_EX_CLIENTEDGE, 300, 152, 35, 14},
      {2, L"#128", BS_PUSHBUTTON | WS_TABSTOP, 0, 145, 171, 60, 14},
  };
  ASSERT_EQ(t.items.size(), sizeof expected / sizeof expected[0]);
  for (size_t i = 0; i < t.items.size(); ++i) {
    const TemplateItem& got = t.items[i];
    const Expected& want = expected[i];
    SCOPED_TRACE("control " + std::to_string(want.id));
    EXPECT_EQ(got.id, want.id);
    EXPECT_EQ(ClassName(got.cls), ClassName(want.cls));
    EXPECT_EQ(got.style & ~(WS_CHILD | WS_VISIBLE), want.style);
    EXPECT_EQ(got.exStyle, want.exStyle);
    EXPECT_EQ(got.x, want.x);
    EXPECT_EQ(got.y, want.y);
    EXPECT_EQ(got.cx, want.cx);
    EXPECT_EQ(got.cy, want.cy);
  }
  EXPECT_EQ(ToCp1250(t.items.back().text), "Megszak\xedt\xe1s");
}

// ---- the clips ---------------------------------------------------------------------------------------
struct ClipInfo {
  DWORD usecPerFrame = 0, frames = 0, streams = 0, width = 0, height = 0;
  DWORD compression = 0, bitCount = 0;
  int frameChunks = 0, soundChunks = 0;
  std::string streamType;
};

void WalkRiff(const BYTE* p, const BYTE* end, ClipInfo* info) {
  while (p + 8 <= end) {
    std::string id(reinterpret_cast<const char*>(p), 4);
    DWORD size;
    memcpy(&size, p + 4, 4);
    const BYTE* data = p + 8;
    if (id == "RIFF" || id == "LIST") {
      WalkRiff(data + 4, data + size, info);
    } else if (id == "avih") {
      memcpy(&info->usecPerFrame, data, 4);
      memcpy(&info->frames, data + 16, 4);
      memcpy(&info->streams, data + 24, 4);
      memcpy(&info->width, data + 32, 4);
      memcpy(&info->height, data + 36, 4);
    } else if (id == "strh") {
      info->streamType.assign(reinterpret_cast<const char*>(data), 4);
    } else if (id == "strf") {
      memcpy(&info->bitCount, data + 14, 2);
      memcpy(&info->compression, data + 16, 4);
    } else if (id == "00dc" || id == "00db") {
      ++info->frameChunks;
    } else if (id.compare(2, 2, "wb") == 0) {
      ++info->soundChunks;
    }
    p = data + size + (size & 1);
  }
}

TEST(AnimationClips, SizesFramesTimesAndFormat) {
  struct Want {
    int id;
    DWORD w, h, frames, usec;
  } const clips[] = {{1001, 80, 50, 29, 166666}, {1002, 181, 72, 25, 120000}, {1003, 267, 85, 51, 80000}};
  HMODULE module = GetModuleHandleA(nullptr);
  for (const Want& c : clips) {
    SCOPED_TRACE("clip " + std::to_string(c.id));
    HRSRC res = FindResourceA(module, MAKEINTRESOURCEA(c.id), "AVI");
    ASSERT_NE(res, nullptr);
    const BYTE* data = static_cast<const BYTE*>(LockResource(LoadResource(module, res)));
    ClipInfo info;
    WalkRiff(data, data + SizeofResource(module, res), &info);
    EXPECT_EQ(info.width, c.w);
    EXPECT_EQ(info.height, c.h);
    EXPECT_EQ(info.frames, c.frames);
    EXPECT_EQ(info.frameChunks, static_cast<int>(c.frames));  // the control insists on this
    EXPECT_EQ(info.usecPerFrame, c.usec);
    EXPECT_EQ(info.streams, 1u);
    EXPECT_EQ(info.streamType, "vids");
    EXPECT_EQ(info.soundChunks, 0);
    EXPECT_EQ(info.compression, static_cast<DWORD>(BI_RLE8));
    EXPECT_EQ(info.bitCount, 8u);
  }
}

TEST(AnimationClips, TheAnimationControlOpensEachOne) {
  HWND parent = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 300, 100, nullptr, nullptr,
                                GetModuleHandleA(nullptr), nullptr);
  ASSERT_NE(parent, nullptr);
  HWND animation = CreateWindowExA(0, ANIMATE_CLASSA, "", WS_CHILD | ACS_CENTER | ACS_TRANSPARENT, 0, 0, 300, 100,
                                   parent, nullptr, GetModuleHandleA(nullptr), nullptr);
  ASSERT_NE(animation, nullptr);
  for (int id : {IDR_CLIP_CONNECT, IDR_CLIP_DOWNLOAD, IDR_CLIP_INSTALL}) {
    EXPECT_TRUE(SendMessageA(animation, ACM_OPENA, 0, reinterpret_cast<LPARAM>(MAKEINTRESOURCEA(id))))
        << "clip " << id;
    EXPECT_TRUE(SendMessageA(animation, ACM_PLAY, static_cast<WPARAM>(-1), MAKELPARAM(0, 0xFFFF))) << id;
    SendMessageA(animation, ACM_STOP, 0, 0);
  }
  EXPECT_FALSE(SendMessageA(animation, ACM_OPENA, 0, reinterpret_cast<LPARAM>(MAKEINTRESOURCEA(1004))));
  DestroyWindow(parent);
}

// ---- the worker thread start ---------------------------------------------------------------------------
using quarn_test::g_seenPriority;
using quarn_test::g_seenRunning;
using quarn_test::RecordStart;

bool WaitUntil(const std::function<bool()>& condition, DWORD ms = 15000) {
  DWORD start = GetTickCount();
  while (!condition()) {
    if (GetTickCount() - start > ms) return false;
    Sleep(20);
  }
  return true;
}

TEST(StartWorker, BelowNormalPriorityAndCountedAsRunningFromTheStart) {
  ResetInstallState();
  StartWorker(RecordStart);
  ASSERT_TRUE(WaitUntil([] { return g_seenPriority != -100; }));
  EXPECT_EQ(g_seenPriority, THREAD_PRIORITY_BELOW_NORMAL);
  EXPECT_EQ(g_seenRunning, 1);
  ResetInstallState();
}

// ---- the dialog with its worker ------------------------------------------------------------------------
std::string ControlText(HWND dialog, int id) {
  char buf[1024] = "";
  GetDlgItemTextA(dialog, id, buf, sizeof buf);  // a sent WM_GETTEXT: the dialog's thread answers it
  return buf;
}

struct UserThread {
  std::thread thread;
  std::atomic<bool> timedOut{false};
};

// The worker's end as the user sees it: the button reads "Kilépés" and can be pressed. (Before the
// worker has started, workerRunning is 0 and the button enabled too: that is no end.)
bool WaitForWorkerEnd(HWND dialog) {
  return WaitUntil([&] {
    return ControlText(dialog, IDCANCEL) == kButtonExit && IsWindowEnabled(GetDlgItem(dialog, IDCANCEL)) &&
           g_state.flags.workerRunning == 0;
  });
}

// Runs the dialog modally on this thread while `user` acts on it from another. If the user gives up
// (a wait timed out) or the dialog does not close after the user is done, it is closed with command 1
// so that the test fails instead of hanging.
INT_PTR RunDialogAs(const std::function<bool(HWND)>& user, bool* userOk) {
  std::atomic<HWND> dialog{nullptr};
  std::thread t([&] {
    if (!WaitUntil([&] { return (dialog = g_state.windows.webDialog) != nullptr; })) {
      *userOk = false;
      return;
    }
    *userOk = user(dialog);
    if (*userOk && !WaitUntil([&] { return !IsWindow(dialog); })) *userOk = false;
    if (!*userOk && IsWindow(dialog)) PostMessageA(dialog, WM_COMMAND, IDOK, 0);
  });
  INT_PTR result = DialogBoxParamA(GetModuleHandleA(nullptr), "WebLoadBox", nullptr, WebLoadDialogProc, 0);
  t.join();
  return result;
}

COLORREF BrushColour(HBRUSH brush) {
  LOGBRUSH lb{};
  GetObjectA(brush, sizeof lb, &lb);
  return lb.lbColor;
}

class WebDialog : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetInstallState();
    g_state.choices.targetDrive = 20;  // T:
    strcpy(g_state.choices.rootName, "WorkerNoServer");
    for (int i = 0; i < kPartCount; ++i) g_state.choices.partSelected[i] = 1;
    RemoveDirectoryA("T:\\WorkerNoServer");
  }
  void TearDown() override { ResetInstallState(); }
};

TEST_F(WebDialog, NoServerEndsWithTheMessageInTheFrameAndTheExitButton) {
  std::string failure;
  auto user = [&](HWND dialog) {
    HWND button = GetDlgItem(dialog, IDCANCEL);
    if (!WaitUntil([&] { return ControlText(dialog, IDCANCEL) == kButtonExit && IsWindowEnabled(button); })) {
      failure = "the button never became an enabled \"Kilépés\"; it reads " + ControlText(dialog, IDCANCEL);
      return false;
    }
    char expected[600];
    BuildNoConnectionText(expected, sizeof expected, QUARN_SITE_NAME);
    if (ControlText(dialog, IDC_WEB_FRAME) != expected) failure += "frame text; ";
    if (!ControlText(dialog, IDC_WEB_TITLE).empty()) failure += "title not empty; ";
    for (int id : {IDC_WEB_STATUS, IDC_WEB_PROGRESS, IDC_WEB_ACTIVITY, IDC_WEB_PERCENT}) {
      if (IsWindowVisible(GetDlgItem(dialog, id))) failure += "control " + std::to_string(id) + " shown; ";
    }
    // The animation control was made on the dialog's thread, not on the worker's, and is out of the way
    // of the message now.
    HWND animation = GetDlgItem(dialog, IDC_WEB_ANIMATION);
    if (!animation) {
      failure += "no animation control; ";
    } else {
      if (GetWindowThreadProcessId(animation, nullptr) != GetWindowThreadProcessId(dialog, nullptr)) {
        failure += "animation owned by another thread; ";
      }
      if (IsWindowVisible(animation)) failure += "animation still covers the frame; ";
    }
    if (g_state.flags.workerRunning != 0) failure += "worker still counted as running; ";
    PostMessageA(button, BM_CLICK, 0, 0);  // the user presses "Kilépés"
    return true;
  };
  bool userOk = false;
  INT_PTR result = RunDialogAs(user, &userOk);
  ASSERT_TRUE(userOk) << failure;
  EXPECT_EQ(failure, "");
  EXPECT_EQ(result, 0);
  EXPECT_EQ(g_state.flags.cancelRequested, 1);
  EXPECT_EQ(g_state.windows.webDialog, nullptr);
  EXPECT_EQ(GetFileAttributesA("T:\\WorkerNoServer"), INVALID_FILE_ATTRIBUTES) << "no folder may be made";
}

TEST_F(WebDialog, ColoursAndProgressBarSetUp) {
  std::string failure;
  auto user = [&](HWND dialog) {
    HDC dc = CreateCompatibleDC(nullptr);
    HBRUSH brush = reinterpret_cast<HBRUSH>(SendMessageA(dialog, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
                                                         reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDC_WEB_TITLE))));
    if (!brush || BrushColour(brush) != RGB(186, 218, 254)) failure += "static brush; ";
    if (GetBkColor(dc) != RGB(186, 218, 254)) failure += "static text background; ";
    HBRUSH dialogBrush = reinterpret_cast<HBRUSH>(SendMessageA(dialog, WM_CTLCOLORDLG, reinterpret_cast<WPARAM>(dc),
                                                               reinterpret_cast<LPARAM>(dialog)));
    if (dialogBrush != brush) failure += "dialog brush differs from the static one; ";
    if (!WaitUntil([&] { return GetDlgItem(dialog, IDC_WEB_ANIMATION) != nullptr; })) {
      failure += "no animation control; ";
    } else {
      HBRUSH animationBrush = reinterpret_cast<HBRUSH>(
          SendMessageA(dialog, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
                       reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDC_WEB_ANIMATION))));
      if (!animationBrush || BrushColour(animationBrush) != RGB(231, 231, 215)) failure += "animation brush; ";
      if (GetBkColor(dc) != RGB(231, 231, 215)) failure += "animation text background; ";
    }
    DeleteDC(dc);
    PBRANGE range{};
    SendMessageA(GetDlgItem(dialog, IDC_WEB_PROGRESS), PBM_GETRANGE, FALSE, reinterpret_cast<LPARAM>(&range));
    if (range.iLow != 0 || range.iHigh != 1000) failure += "progress range; ";
    // A marquee would hide the position on bars that honour it (Wine's among them).
    if (GetWindowLongPtrA(GetDlgItem(dialog, IDC_WEB_PROGRESS), GWL_STYLE) & PBS_MARQUEE) failure += "marquee; ";
    if (!WaitForWorkerEnd(dialog)) return false;
    PostMessageA(GetDlgItem(dialog, IDCANCEL), BM_CLICK, 0, 0);
    return true;
  };
  bool userOk = false;
  INT_PTR result = RunDialogAs(user, &userOk);
  ASSERT_TRUE(userOk) << failure;
  EXPECT_EQ(failure, "");
  EXPECT_EQ(result, 0);
}

TEST_F(WebDialog, SuccessCommandClosesWithOneAndAbortActsAsCancel) {
  // 402 closes with result 1 whatever the worker does; 403 is the Cancel button pressed for the user.
  // Command 1 on its own (what the Enter key sends) reports no success and closes nothing.
  std::string failure;
  bool userOk = false;
  INT_PTR result = RunDialogAs(
      [&](HWND dialog) {
        if (!WaitForWorkerEnd(dialog)) return false;
        SendMessageA(dialog, WM_COMMAND, IDOK, 0);
        if (!IsWindow(dialog) || !IsWindowVisible(dialog)) return false;
        PostMessageA(dialog, WM_COMMAND, IDM_WEB_SUCCESS, 0);
        return true;
      },
      &userOk);
  ASSERT_TRUE(userOk);
  EXPECT_EQ(result, 1);

  ResetInstallState();
  g_state.choices.targetDrive = 20;
  strcpy(g_state.choices.rootName, "WorkerNoServer");
  result = RunDialogAs(
      [&](HWND dialog) {
        if (!WaitForWorkerEnd(dialog)) return false;
        PostMessageA(dialog, WM_COMMAND, IDM_WEB_ABORT, 0);
        return true;
      },
      &userOk);
  ASSERT_TRUE(userOk);
  EXPECT_EQ(result, 0);
  EXPECT_EQ(g_state.flags.cancelRequested, 1);
}

}  // namespace
