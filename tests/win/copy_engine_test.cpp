// The copy engine against staged sets on drive T:, run on a thread of its own like the worker runs it,
// with its message boxes answered by the test from the main thread (which also owns the host window).
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "state/install_state_win.h"
#include "install/copy_engine_win.h"
#include "install/uninstall_record_win.h"
#include "layout/description.h"
#include "resource.h"
#include "test_files.h"
#include "ui/web_display_win.h"

namespace {

using quarn_test::FileBytes;
using quarn_test::MakeDirs;
using quarn_test::PathExists;
using quarn_test::PutFile;
using quarn_test::RemoveTree;

constexpr int kDriveT = 'T' - 64;
const char kRootName[] = "CopyEngineTest";
const std::string kRoot = "T:\\CopyEngineTest";
const std::string kStaging = kRoot + "\\QuarnWin32\\Install\\";
const std::string kWindows = "T:\\CopyEngineWin";  // stands in for %windir%
constexpr DWORD kBlock = 512000;

// ---- Files ----

// A recognisable content of n bytes (not a repeating block, so a mis-ordered block shows).
std::string Content(size_t n, unsigned seed) {
  std::string s(n, '\0');
  uint32_t x = seed * 2654435761u + 1;
  for (size_t i = 0; i < n; ++i) {
    x = x * 1664525u + 1013904223u;
    s[i] = static_cast<char>(x >> 24);
  }
  return s;
}

struct Times {
  FILETIME created, accessed, written;
};

FILETIME At(WORD year, WORD month, WORD day) {
  SYSTEMTIME st{};
  st.wYear = year;
  st.wMonth = month;
  st.wDay = day;
  st.wHour = 10;
  st.wMinute = 20;
  st.wSecond = 30;
  FILETIME ft;
  SystemTimeToFileTime(&st, &ft);
  return ft;
}

void SetTimes(const std::string& path, const Times& t) {
  HANDLE f = CreateFileA(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                         OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(f, INVALID_HANDLE_VALUE);
  ASSERT_TRUE(SetFileTime(f, &t.created, &t.accessed, &t.written));
  CloseHandle(f);
}

Times GetTimes(const std::string& path) {
  Times t{};
  HANDLE f = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (f != INVALID_HANDLE_VALUE) {
    GetFileTime(f, &t.created, &t.accessed, &t.written);
    CloseHandle(f);
  }
  return t;
}

uint64_t Ticks(const FILETIME& f) { return (uint64_t{f.dwHighDateTime} << 32) | f.dwLowDateTime; }

// ---- Expected message texts, as code page 1250 bytes ----

std::string InsertDiscText(const std::string& staging, const std::string& label) {
  // "A(z) %s meghajtóba a -' %s '- jelű flopyt helyezze be!"
  return "A(z) " + staging + " meghajt\xf3" "ba a -' " + label + " '- jel\xfb flopyt helyezze be!";
}
std::string WrongDiscText(const std::string& staging, const std::string& label) {
  // "A(z) %s meghajtóban NEM a -' %s '- jelű flopyt van, vagy más hiba! Folytatja?"
  return "A(z) " + staging + " meghajt\xf3" "ban NEM a -' " + label +
         " '- jel\xfb flopyt van, vagy m\xe1s hiba! Folytatja?";
}
std::string CreateTargetText(const std::string& target) {
  // "A(z) ' %s ' cél állomány létrehozása hibás!"
  return "A(z) ' " + target + " ' c\xe9l \xe1llom\xe1ny l\xe9trehoz\xe1sa hib\xe1s!";
}
std::string OpenSourceText(const std::string& source) {
  // "A(z) ' %s ' forrás állomány megnyitása hibás!"
  return "A(z) ' " + source + " ' forr\xe1s \xe1llom\xe1ny megnyit\xe1sa hib\xe1s!";
}
std::string BadCodeText(const std::string& code) {
  // "Hibás célfájl kód a Fajls_?.ini-ben: %s !"
  return "Hib\xe1s c\xe9lf\xe1jl k\xf3" "d a Fajls_?.ini-ben: " + code + " !";
}
std::string ReplaceText(const std::string& target) {
  // "Meglévő fájl: %s! Felül kívánja írni?"
  return "Megl\xe9v\xf5 f\xe1jl: " + target + "! Fel\xfcl k\xedv\xe1nja \xedrni?";
}
const char kCaption[] = "QuarnCAD telepit\xe9s";  // "QuarnCAD telepités"

// ---- The host window: stands in for the web installation dialog ----

// What one run of the copy engine showed: its boxes, its display and the commands posted to the host.
struct Box {
  std::string caption, text, icon;  // icon: "error", "information" or "other"
  std::string buttons;              // "ok cancel", "yes no", "ok"
  HWND owner;
};

struct Record {
  HWND host = nullptr;  // the window that stood in for the dialog (destroyed after the run)
  std::vector<Box> boxes;
  std::vector<UINT> commands;  // WM_COMMAND ids received by the host window
  std::vector<std::string> status, percent, activity;
  std::vector<int> bar;
};
Record* g_record = nullptr;
WNDPROC g_staticProc = nullptr;
WNDPROC g_barProc = nullptr;

LRESULT CALLBACK HostProc(HWND w, UINT m, WPARAM wp, LPARAM lp) {
  if (HandleWebDisplayMessage(w, m, wp, lp)) return 0;  // the display's queued writes, as the dialog does
  if (m == WM_COMMAND && g_record) g_record->commands.push_back(LOWORD(wp));
  return DefWindowProcA(w, m, wp, lp);
}

// The fields and the bar record every change of what they show (a text or position equal to the shown
// one is no change to the user; whether it is sent at all is the display's business,
// tests/win/web_display_test.cpp).
bool ChangesShownText(HWND field, const char* text) {
  char now[512] = "";
  CallWindowProcA(g_staticProc, field, WM_GETTEXT, sizeof now, reinterpret_cast<LPARAM>(now));
  return strcmp(now, text) != 0;
}

LRESULT CALLBACK FieldProc(HWND w, UINT m, WPARAM wp, LPARAM lp) {
  if (m == WM_SETTEXT && g_record && ChangesShownText(w, lp ? reinterpret_cast<const char*>(lp) : "")) {
    std::string text = lp ? reinterpret_cast<const char*>(lp) : "";
    switch (GetDlgCtrlID(w)) {
      case IDC_WEB_STATUS: g_record->status.push_back(text); break;
      case IDC_WEB_PERCENT: g_record->percent.push_back(text); break;
      case IDC_WEB_ACTIVITY: g_record->activity.push_back(text); break;
    }
  }
  return CallWindowProcA(g_staticProc, w, m, wp, lp);
}

LRESULT CALLBACK BarProc(HWND w, UINT m, WPARAM wp, LPARAM lp) {
  const bool changes = m == PBM_SETPOS && CallWindowProcA(g_barProc, w, PBM_GETPOS, 0, 0) != static_cast<LRESULT>(wp);
  if (changes && g_record) g_record->bar.push_back(static_cast<int>(wp));
  return CallWindowProcA(g_barProc, w, m, wp, lp);
}

// A window with the dialog's three fields and its progress bar (range 0..1000), each recording what
// the engine sends it.
struct Host {
  HWND window = nullptr;
  HWND bar = nullptr;
  Host() {
    INITCOMMONCONTROLSEX icc{sizeof icc, ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&icc);
    WNDCLASSA wc{};
    wc.lpfnWndProc = HostProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "CopyEngineTestHost";
    RegisterClassA(&wc);
    window = CreateWindowA("CopyEngineTestHost", "host", WS_OVERLAPPEDWINDOW, 0, 0, 400, 200, nullptr, nullptr,
                           wc.hInstance, nullptr);
    for (int id : {IDC_WEB_STATUS, IDC_WEB_PERCENT, IDC_WEB_ACTIVITY}) {
      HWND s = CreateWindowA("STATIC", "", WS_CHILD | WS_VISIBLE, 0, 20 * (id % 10), 300, 16, window,
                             reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), wc.hInstance, nullptr);
      g_staticProc = reinterpret_cast<WNDPROC>(
          SetWindowLongPtrA(s, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(FieldProc)));
    }
    bar = CreateWindowA(PROGRESS_CLASSA, "", WS_CHILD | WS_VISIBLE, 0, 150, 300, 16, window,
                        reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDC_WEB_PROGRESS)), wc.hInstance, nullptr);
    SendMessageA(bar, PBM_SETRANGE, 0, MAKELPARAM(0, 1000));
    g_barProc = reinterpret_cast<WNDPROC>(SetWindowLongPtrA(bar, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(BarProc)));
  }
  ~Host() { DestroyWindow(window); }
  Host(const Host&) = delete;
  Host& operator=(const Host&) = delete;
};

// One answer to a message box; `before` runs while the box is up (e.g. to put the right disc in).
struct Answer {
  int button;
  std::function<void()> before;
};

BOOL CALLBACK FindBoxOfThread(HWND w, LPARAM lp) {
  char cls[32] = "";
  GetClassNameA(w, cls, sizeof cls);
  if (strcmp(cls, "#32770") == 0 && IsWindowVisible(w)) {
    *reinterpret_cast<HWND*>(lp) = w;
    return FALSE;
  }
  return TRUE;
}

std::string IconKind(HWND box) {
  HICON icon = reinterpret_cast<HICON>(SendDlgItemMessageA(box, 0x0440, STM_GETICON, 0, 0));
  if (icon && icon == LoadIconA(nullptr, IDI_HAND)) return "error";
  if (icon && icon == LoadIconA(nullptr, IDI_ASTERISK)) return "information";
  return "other";
}

std::string Buttons(HWND box) {
  std::string b;
  const std::pair<int, const char*> ids[] = {{IDOK, "ok"}, {IDCANCEL, "cancel"}, {IDYES, "yes"}, {IDNO, "no"}};
  for (const auto& id : ids) {
    HWND c = GetDlgItem(box, id.first);
    if (c && IsWindowVisible(c)) b += (b.empty() ? "" : " ") + std::string(id.second);
  }
  return b;
}

struct ThreadArgs {
  WebDisplay* display;
  bool copied = false;
};

DWORD WINAPI CopyThread(LPVOID p) {
  auto* a = static_cast<ThreadArgs*>(p);
  a->copied = CopySelectedParts(*a->display);
  return 0;
}

// Runs CopySelectedParts on a thread of its own, as the worker does, and answers its boxes in order.
// withDialog: the host window is the display's dialog (owner of the boxes, holder of the fields, receiver
// of the Cancel command); without it the engine runs with no dialog at all.
bool RunCopy(Record* rec, std::vector<Answer> answers, bool withDialog) {
  Host host;
  g_record = rec;
  rec->host = host.window;
  WebDisplay display(withDialog ? host.window : nullptr);
  ThreadArgs args{&display, false};
  DWORD tid = 0;
  HANDLE thread = CreateThread(nullptr, 0, CopyThread, &args, 0, &tid);
  EXPECT_TRUE(thread != nullptr);
  if (!thread) return false;
  size_t next = 0;
  HWND answered = nullptr;
  const DWORD start = GetTickCount();
  for (;;) {
    if (MsgWaitForMultipleObjects(1, &thread, FALSE, 20, QS_ALLINPUT) == WAIT_OBJECT_0) break;
    MSG m;
    while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&m);
    if (GetTickCount() - start > 60000) {
      ADD_FAILURE() << "the copy did not end within 60 s";
      TerminateThread(thread, 1);
      break;
    }
    if (answered && IsWindow(answered)) continue;  // the last answer is still being taken
    answered = nullptr;
    HWND box = nullptr;
    EnumThreadWindows(tid, FindBoxOfThread, reinterpret_cast<LPARAM>(&box));
    if (!box) continue;
    Box b;
    char text[2048] = "";
    GetWindowTextA(box, text, sizeof text);
    b.caption = text;
    text[0] = '\0';
    GetDlgItemTextA(box, 0xFFFF, text, sizeof text);
    b.text = text;
    b.icon = IconKind(box);
    b.buttons = Buttons(box);
    b.owner = GetWindow(box, GW_OWNER);
    rec->boxes.push_back(b);
    int button = IDCANCEL;
    if (next < answers.size()) {
      if (answers[next].before) answers[next].before();
      button = answers[next].button;
    } else {
      ADD_FAILURE() << "unexpected message box: " << b.text;
    }
    ++next;
    PostMessageA(box, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(box, button)));
    answered = box;
  }
  CloseHandle(thread);
  MSG m;
  while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&m);
  EXPECT_EQ(next, answers.size()) << "not every expected message box came up";
  g_record = nullptr;
  return args.copied;
}

// ---- The fixture: a staged set on T: ----

class CopyEngine : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(GetACP(), 1250u) << "the tests must run under the Hungarian locale";
    ASSERT_NE(GetLogicalDrives() & (1u << ('T' - 'A')), 0u) << "drive T: is not mapped (scripts/wine-env.sh)";
    Fresh();
  }
  void TearDown() override {
    RemoveTree(kRoot);
    RemoveTree(kWindows);
  }

  // A clean set: nothing staged, nothing installed, no part selected, counters at 0.
  void Fresh() {
    RemoveTree(kRoot);
    RemoveTree(kWindows);
    ResetInstallState();
    quarn_test::ChooseTarget(kDriveT, kRootName);
    strcpy(g_state.paths.stagingFolder, kStaging.c_str());
    // The lists this test stages stand for the run's verified copies.
    strcpy(g_state.paths.verifiedFolder, kStaging.c_str());
    strcpy(g_state.process.windowsFolder, kWindows.c_str());
    strcpy(g_state.process.caption, kCaption);
    MakeDirs(kRoot + "\\QuarnWin32\\Install");
    MakeDirs(kWindows + "\\Fonts");
  }

  static std::string DiscFolder(int disc) {
    char b[16];
    snprintf(b, sizeof b, "Disc_%02d", disc);
    return kStaging + b;
  }

  // The disc's file list: its label, then one section per part with File1.. lines.
  void StageList(int disc, const std::string& label,
                 const std::vector<std::pair<int, std::vector<std::string>>>& parts) {
    std::string ini = "[Disc]\r\nName=" + label + "\r\n";
    for (const auto& part : parts) {
      ini += std::string("[") + kPartNames[part.first] + "]\r\n";
      int n = 1;
      for (const std::string& line : part.second) ini += "File" + std::to_string(n++) + "=" + line + "\r\n";
    }
    char name[32];
    snprintf(name, sizeof name, "\\Fajls_%d.ini", disc);
    PutFile(DiscFolder(disc) + name, ini);
  }

  // The disc table entry as LoadDiscTable leaves it, and the user's selection.
  static void Mark(int disc, const char* label, std::initializer_list<int> parts) {
    strcpy(g_state.choices.discTable[disc - 1].label, label);
    for (int p : parts) g_state.choices.discTable[disc - 1].present[p] = 1;
  }
  static void Select(std::initializer_list<int> parts) {
    for (int p : parts) g_state.choices.partSelected[p] = 1;
  }

  void StageSource(int disc, const std::string& rel, const std::string& bytes) {
    PutFile(DiscFolder(disc) + rel, bytes);
  }

  // The usual single-disc set: disc 1 "DISK1" holds Systems, selected, with the given lines.
  void OneDisc(const std::vector<std::string>& lines) {
    Mark(1, "DISK1", {kSystems});
    Select({kSystems});
    StageList(1, "DISK1", {{kSystems, lines}});
  }

  Record rec;
};

TEST_F(CopyEngine, ReplacePolicies) {
  // An existing target of 3 bytes and a source of 11: the counter tells which one was counted.
  const std::string source = "new content";
  const std::string old = "old";
  struct Case {
    const char* code;  // modifiers before the target path
    bool targetExists;
    std::vector<int> answers;
    bool replaced;
  } cases[] = {
      {"", true, {}, true},              // no modifier: replaced without asking
      {"*?", true, {IDYES}, true},       // ask, Yes: replaced
      {"*?", true, {IDNO}, false},       // ask, No: kept, its own size counted
      {"*?", false, {}, true},           // ask with no target: copied without asking
      {"*-", true, {}, false},           // keep
      {"*-*?", true, {}, false},         // keep wins over ask, in either order
      {"*?*-", true, {}, false},
      {"*-", false, {}, true},           // keep with no target: copied
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string("code \"") + c.code + "\" existing " + (c.targetExists ? "yes" : "no"));
    Fresh();
    rec = Record{};
    const std::string target = kRoot + "\\QuarnWin32\\a.txt";
    OneDisc({std::string("\\QuarnWin32\\a.txt ") + c.code + "\\QuarnWin32\\a.txt"});
    StageSource(1, "\\QuarnWin32\\a.txt", source);
    if (c.targetExists) PutFile(target, old);
    g_state.copy.copyBytesDone = 100;
    std::vector<Answer> answers;
    for (int a : c.answers) answers.push_back({a, nullptr});
    EXPECT_TRUE(RunCopy(&rec, answers, false));
    EXPECT_EQ(FileBytes(target), c.replaced ? source : old);
    EXPECT_EQ(g_state.copy.copyBytesDone, 100u + (c.replaced ? source.size() : old.size()));
    ASSERT_EQ(rec.boxes.size(), c.answers.size());
    if (!rec.boxes.empty()) {
      EXPECT_EQ(rec.boxes[0].text, ReplaceText(target));
      EXPECT_EQ(rec.boxes[0].buttons, "yes no");
      EXPECT_EQ(rec.boxes[0].icon, "error");
      EXPECT_EQ(rec.boxes[0].caption, kCaption);
    }
  }
}

TEST_F(CopyEngine, WindowsFolderModifierLandsInTheWindowsFolder) {
  OneDisc({"\\Fonts\\quarn.ttf *%\\Fonts\\quarn.ttf", "\\QuarnWin32\\a.txt, \t \\QuarnWin32\\a.txt"});
  StageSource(1, "\\Fonts\\quarn.ttf", "font bytes");
  StageSource(1, "\\QuarnWin32\\a.txt", "a");
  EXPECT_TRUE(RunCopy(&rec, {}, false));
  EXPECT_EQ(FileBytes(kWindows + "\\Fonts\\quarn.ttf"), "font bytes");
  EXPECT_FALSE(PathExists(kRoot + "\\Fonts\\quarn.ttf"));
  EXPECT_EQ(FileBytes(kRoot + "\\QuarnWin32\\a.txt"), "a");  // comma and blanks as separator
  EXPECT_TRUE(rec.boxes.empty());
}

TEST_F(CopyEngine, TargetGetsTheSourceTimesAndContent) {
  struct Case {
    const char* name;
    size_t size;
  } cases[] = {{"empty.dat", 0}, {"small.dat", 1000}, {"blocks.dat", 2 * kBlock + 1}};
  const Times times{At(2001, 2, 3), At(2002, 3, 4), At(2003, 4, 5)};
  std::vector<std::string> lines;
  for (const Case& c : cases) {
    std::string rel = std::string("\\QuarnWin32\\") + c.name;
    lines.push_back(rel + " " + rel);
    StageSource(1, rel, Content(c.size, static_cast<unsigned>(c.size)));
    SetTimes(DiscFolder(1) + rel, times);
  }
  OneDisc(lines);
  // The source's times as the platform keeps them. Wine on a Linux file system keeps no creation time
  // and reports the last-write time for it, so there the creation check follows the write time.
  const Times kept = GetTimes(DiscFolder(1) + "\\QuarnWin32\\small.dat");
  ASSERT_EQ(Ticks(kept.written), Ticks(times.written));
  ASSERT_EQ(Ticks(kept.accessed), Ticks(times.accessed));
  EXPECT_TRUE(RunCopy(&rec, {}, false));
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string target = kRoot + "\\QuarnWin32\\" + c.name;
    ASSERT_TRUE(PathExists(target));
    const Times got = GetTimes(target);  // before reading it: a read may move its access time
    EXPECT_EQ(Ticks(got.created), Ticks(kept.created));
    EXPECT_EQ(Ticks(got.accessed), Ticks(kept.accessed));
    EXPECT_EQ(Ticks(got.written), Ticks(kept.written));
    EXPECT_EQ(FileBytes(target), Content(c.size, static_cast<unsigned>(c.size)));
  }
  EXPECT_EQ(g_state.copy.copyBytesDone, 1000u + 2 * kBlock + 1);
}

// Every staged file the verified list's [Hashes] names is checked against that digest before anything of
// it is written: another user may have changed the staging folder since the download checked it. A match
// is installed and recorded with the set's digest; a mismatch ends the copy (the damaged-file box names the
// file) before its target or any later file is touched; a list without hash data copies and hashes the
// file as it is written.
TEST_F(CopyEngine, StagedFilesAreCheckedAgainstTheSetsDigestBeforeTheyAreWritten) {
  enum Digest { kRight, kUpperCase, kOtherContent, kOtherSize, kNone };
  struct Case {
    const char* name;
    size_t size;
    Digest digest;
    bool installed;
  } cases[] = {
      {"big.dat", 2 * kBlock + 5, kRight, true},
      {"small.dat", 17, kRight, true},
      {"empty.dat", 0, kRight, true},
      {"upper.dat", 2 * kBlock + 5, kUpperCase, true},
      {"changedbig.dat", 2 * kBlock + 5, kOtherContent, false},
      {"changedsmall.dat", 17, kOtherContent, false},
      {"longer.dat", kBlock + 1, kOtherSize, false},
      {"nohash.dat", 2 * kBlock + 5, kNone, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Fresh();
    rec = Record{};
    const std::string rel = std::string("\\QuarnWin32\\") + c.name;
    OneDisc({rel + " " + rel, "\\QuarnWin32\\after.txt \\QuarnWin32\\after.txt"});
    const std::string content = Content(c.size, 7);
    StageSource(1, rel, content);
    StageSource(1, "\\QuarnWin32\\after.txt", "after");
    // The digest of what the download checked: the content, or other bytes put there since.
    uint64_t checkedSize = 0;
    std::string digest;
    const std::string staged = DiscFolder(1) + rel;
    ASSERT_TRUE(HashFile(staged.c_str(), &checkedSize, &digest));
    if (c.digest == kUpperCase) {
      for (char& ch : digest) ch = static_cast<char>(toupper(static_cast<unsigned char>(ch)));
    }
    if (c.digest == kOtherContent) StageSource(1, rel, Content(c.size, 8));
    if (c.digest == kOtherSize) StageSource(1, rel, content + "x");
    std::string list = FileBytes(DiscFolder(1) + "\\Fajls_1.ini");
    if (c.digest != kNone) {
      // Keyed by the server name, as the download names the file: the list line's source without its
      // leading backslash.
      uint64_t afterSize = 0;
      std::string afterDigest;
      ASSERT_TRUE(HashFile((DiscFolder(1) + "\\QuarnWin32\\after.txt").c_str(), &afterSize, &afterDigest));
      list += "[Hashes]\r\nQuarnWin32\\after.txt=5 " + afterDigest + "\r\nQuarnWin32\\" + c.name + "=" +
              std::to_string(checkedSize) + " " + digest + "\r\n";
    }
    PutFile(DiscFolder(1) + "\\Fajls_1.ini", list);
    const std::string target = kRoot + rel;
    PutFile(target, "the user's old file");
    // Only the damaged-file box is asked; an installed file asks nothing.
    const bool copied =
        RunCopy(&rec, c.installed ? std::vector<Answer>{} : std::vector<Answer>{{IDOK, nullptr}}, false);
    if (c.installed) {
      EXPECT_TRUE(copied);
      EXPECT_EQ(FileBytes(target), content);
      uint64_t size = 0;
      std::string recorded;
      ASSERT_TRUE(FindRecordedFile(target.c_str(), &size, &recorded));
      EXPECT_EQ(size, c.size);
      uint64_t hashedSize = 0;
      std::string hashed;
      ASSERT_TRUE(HashFile(target.c_str(), &hashedSize, &hashed));
      EXPECT_EQ(recorded, hashed);
      EXPECT_FALSE(CopyFoundDamagedFile());
    } else {
      EXPECT_FALSE(copied);
      EXPECT_TRUE(CopyFoundDamagedFile());
      // Nothing of the file or after it: the old target is untouched, the next file never came.
      EXPECT_EQ(FileBytes(target), "the user's old file");
      EXPECT_FALSE(PathExists(kRoot + "\\QuarnWin32\\after.txt"));
      uint64_t size = 0;
      std::string recorded;
      EXPECT_FALSE(FindRecordedFile(target.c_str(), &size, &recorded));
      ASSERT_EQ(rec.boxes.size(), 1u);
      EXPECT_NE(rec.boxes[0].text.find(std::string("QuarnWin32\\") + c.name), std::string::npos)
          << rec.boxes[0].text;
      EXPECT_NE(rec.boxes[0].text.find("s\xE9r\xFClt"), std::string::npos) << rec.boxes[0].text;  // "sérült"
      EXPECT_EQ(rec.boxes[0].icon, "error");
    }
  }
}

// The copy reads a staged file only with read sharing: while another program holds it open for writing,
// the copy cannot open it (the open-source box), and nothing of it is installed; so no program can write
// to it between its check and the end of its copy either.
TEST_F(CopyEngine, StagedFileOpenForWritingElsewhereIsNotCopied) {
  OneDisc({"\\a.txt \\a.txt"});
  StageSource(1, "\\a.txt", "staged");
  PutFile(kRoot + "\\a.txt", "old");
  HANDLE writer = CreateFileA((DiscFolder(1) + "\\a.txt").c_str(), GENERIC_WRITE,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(writer, INVALID_HANDLE_VALUE) << GetLastError();
  EXPECT_FALSE(RunCopy(&rec, {{IDCANCEL, nullptr}}, false));
  CloseHandle(writer);
  ASSERT_EQ(rec.boxes.size(), 1u);
  EXPECT_NE(rec.boxes[0].text.find(DiscFolder(1) + "\\a.txt"), std::string::npos) << rec.boxes[0].text;
  EXPECT_EQ(FileBytes(kRoot + "\\a.txt"), "old");
}

TEST_F(CopyEngine, DisplayPerBlockAndPerFile) {
  // 3 full blocks + 7 bytes, then exactly one block: a full block, then an empty second read.
  OneDisc({"\\big.dat \\QuarnWin32\\big.dat", "\\one.dat \\QuarnWin32\\one.dat"});
  StageSource(1, "\\big.dat", Content(3 * kBlock + 7, 1));
  StageSource(1, "\\one.dat", Content(kBlock, 2));
  g_state.copy.copyBytesTotal = 5120000;
  g_state.copy.copyBytesDone = 0;
  EXPECT_TRUE(RunCopy(&rec, {}, true));
  EXPECT_EQ(FileBytes(kRoot + "\\QuarnWin32\\one.dat"), Content(kBlock, 2));
  EXPECT_EQ(FileBytes(kRoot + "\\QuarnWin32\\big.dat"), Content(3 * kBlock + 7, 1));
  // Spinner per full block, restarting at "|" for every file; emptied at each file end.
  EXPECT_EQ(rec.activity, (std::vector<std::string>{"|", "/", "-", "", "|", ""}));
  // In a file, its written bytes count a quarter: 128000, 256000, 384000 of 5120000.
  EXPECT_EQ(rec.percent, (std::vector<std::string>{"  2.5%", "  5.0%", "  7.5%", " 30.0%", " 32.5%", " 40.0%"}));
  EXPECT_EQ(rec.bar, (std::vector<int>{300, 400}));  // once per file
  EXPECT_EQ(rec.status, (std::vector<std::string>{kRoot + "\\QuarnWin32\\big.dat", kRoot + "\\QuarnWin32\\one.dat"}));
  EXPECT_EQ(g_state.copy.copyBytesDone, 4 * kBlock + 7);
}

TEST_F(CopyEngine, ZeroTotalShowsOnePercentAndBarTen) {
  OneDisc({"\\a \\a", "\\b \\b"});
  StageSource(1, "\\a", "aa");
  StageSource(1, "\\b", "bbb");
  EXPECT_TRUE(RunCopy(&rec, {}, true));
  // Both files show the same: the second changes nothing.
  EXPECT_EQ(rec.percent, (std::vector<std::string>{"  1.0%"}));
  EXPECT_EQ(rec.bar, (std::vector<int>{10}));
}

TEST_F(CopyEngine, SeededCountersEndAtOneHundredPercent) {
  // The download counted every byte twice; the copy carries the display from half to the whole.
  OneDisc({"\\a \\a", "\\b \\b"});
  StageSource(1, "\\a", Content(300, 3));
  StageSource(1, "\\b", Content(700, 4));
  g_state.copy.copyBytesTotal = 2000;
  g_state.copy.copyBytesDone = 1000;
  EXPECT_TRUE(RunCopy(&rec, {}, true));
  EXPECT_EQ(rec.percent, (std::vector<std::string>{" 65.0%", "100.0%"}));
  EXPECT_EQ(rec.bar, (std::vector<int>{650, 1000}));
}

TEST_F(CopyEngine, MissingSourceOkSkipsCancelStopsAtOnce) {
  for (int answer : {IDOK, IDCANCEL}) {
    SCOPED_TRACE(answer == IDOK ? "OK" : "Cancel");
    Fresh();
    rec = Record{};
    OneDisc({"\\gone.txt \\gone.txt", "\\next.txt \\next.txt"});
    StageSource(1, "\\next.txt", "next");
    EXPECT_EQ(RunCopy(&rec, {{answer, nullptr}}, true), answer == IDOK);
    ASSERT_EQ(rec.boxes.size(), 1u);
    EXPECT_EQ(rec.boxes[0].text, OpenSourceText(DiscFolder(1) + "\\gone.txt"));
    EXPECT_EQ(rec.boxes[0].buttons, "ok cancel");
    EXPECT_EQ(rec.boxes[0].icon, "error");
    EXPECT_EQ(rec.boxes[0].caption, kCaption);
    EXPECT_EQ(rec.boxes[0].owner, rec.host);
    EXPECT_FALSE(PathExists(kRoot + "\\gone.txt"));
    // The skipped file is not counted; Cancel copies nothing more and posts nothing.
    EXPECT_EQ(PathExists(kRoot + "\\next.txt"), answer == IDOK);
    EXPECT_EQ(g_state.copy.copyBytesDone, answer == IDOK ? 4u : 0u);
    EXPECT_TRUE(rec.commands.empty());
  }
}

TEST_F(CopyEngine, TargetThatCannotBeCreatedStillCounts) {
  for (int answer : {IDOK, IDCANCEL}) {
    SCOPED_TRACE(answer == IDOK ? "OK" : "Cancel");
    Fresh();
    rec = Record{};
    OneDisc({"\\a.txt \\NoSuchFolder\\a.txt", "\\b.txt \\b.txt"});
    StageSource(1, "\\a.txt", "12345");
    StageSource(1, "\\b.txt", "bb");
    EXPECT_EQ(RunCopy(&rec, {{answer, nullptr}}, false), answer == IDOK);
    ASSERT_EQ(rec.boxes.size(), 1u);
    EXPECT_EQ(rec.boxes[0].text, CreateTargetText(kRoot + "\\NoSuchFolder\\a.txt"));
    EXPECT_EQ(rec.boxes[0].buttons, "ok cancel");
    EXPECT_EQ(rec.boxes[0].icon, "error");
    // Counted either way; Cancel ends the step after this file.
    EXPECT_EQ(g_state.copy.copyBytesDone, answer == IDOK ? 7u : 5u);
    EXPECT_EQ(PathExists(kRoot + "\\b.txt"), answer == IDOK);
  }
}

TEST_F(CopyEngine, WrongDiscPromptsUntilCancelThenPosts403) {
  Mark(1, "DISK1", {kSystems});
  Select({kSystems});
  StageList(1, "OTHER", {{kSystems, {"\\a \\a"}}});
  StageSource(1, "\\a", "a");
  EXPECT_FALSE(RunCopy(&rec, {{IDOK, nullptr}, {IDOK, nullptr}, {IDCANCEL, nullptr}}, true));
  ASSERT_EQ(rec.boxes.size(), 3u);
  EXPECT_EQ(rec.boxes[0].text, InsertDiscText(kStaging, "DISK1"));
  EXPECT_EQ(rec.boxes[0].icon, "information");
  EXPECT_EQ(rec.boxes[0].buttons, "ok cancel");
  EXPECT_EQ(rec.boxes[1].text, WrongDiscText(kStaging, "DISK1"));
  EXPECT_EQ(rec.boxes[1].icon, "error");
  EXPECT_EQ(rec.boxes[1].buttons, "ok cancel");
  EXPECT_EQ(rec.boxes[2].text, InsertDiscText(kStaging, "DISK1"));
  EXPECT_EQ(rec.commands, (std::vector<UINT>{IDM_WEB_ABORT}));
  EXPECT_FALSE(PathExists(kRoot + "\\a"));
}

TEST_F(CopyEngine, CancelAtTheSecondPromptPosts403) {
  Mark(1, "DISK1", {kSystems});
  Select({kSystems});
  // No file list at all: the label reads as absent.
  EXPECT_FALSE(RunCopy(&rec, {{IDOK, nullptr}, {IDCANCEL, nullptr}}, true));
  ASSERT_EQ(rec.boxes.size(), 2u);
  EXPECT_EQ(rec.boxes[1].text, WrongDiscText(kStaging, "DISK1"));
  EXPECT_EQ(rec.commands, (std::vector<UINT>{IDM_WEB_ABORT}));
}

TEST_F(CopyEngine, RightDiscInsertedWhileAskedIsCopied) {
  Mark(1, "DISK1", {kSystems});
  Select({kSystems});
  StageList(1, "disk1", {{kSystems, {"\\a \\a"}}});  // labels compare case-sensitively
  StageSource(1, "\\a", "a");
  auto insert = [this] { StageList(1, "DISK1", {{kSystems, {"\\a \\a"}}}); };
  EXPECT_TRUE(RunCopy(&rec, {{IDOK, insert}}, false));
  EXPECT_EQ(rec.boxes.size(), 1u);
  EXPECT_EQ(FileBytes(kRoot + "\\a"), "a");
  EXPECT_TRUE(rec.commands.empty());
}

TEST_F(CopyEngine, VisitsTheDiscsThatHoldASelectedPart) {
  // Disc 1 as the options dialog marks it (six parts, not Projects), whatever Install.ini says; disc 2
  // holds only Setup, which is not selected, and has no file list; disc 3 holds only Help.
  Mark(1, "DISK1", {kSetup, kSystems, kDrawings, kBlocks, kDatas, kHelp});
  Mark(2, "DISK2", {kSetup});
  Mark(3, "DISK3", {kHelp});
  Select({kHelp, kProjects, kDrawings});
  StageList(1, "DISK1", {{kHelp, {"\\h1 \\h1"}}, {kProjects, {"\\p1 \\p1"}}, {kSetup, {"\\s1 \\s1"}}});
  StageList(3, "DISK3", {{kHelp, {"\\h3 \\h3"}}});
  for (const char* f : {"\\h1", "\\p1", "\\s1"}) StageSource(1, f, f);
  StageSource(3, "\\h3", "h3");
  EXPECT_TRUE(RunCopy(&rec, {}, false));
  EXPECT_TRUE(rec.boxes.empty());  // disc 2 was never asked for
  EXPECT_TRUE(PathExists(kRoot + "\\h1"));
  EXPECT_TRUE(PathExists(kRoot + "\\h3"));
  EXPECT_FALSE(PathExists(kRoot + "\\p1"));  // Projects is not on disc 1
  EXPECT_FALSE(PathExists(kRoot + "\\s1"));  // Setup is not selected
}

TEST_F(CopyEngine, OnlySetupDiscIsCopiedWhenSetupIsSelected) {
  Mark(2, "DISK2", {kSetup});
  Select({kSetup});
  StageList(2, "DISK2", {{kSetup, {"\\QuarnWin32\\s.ini \\QuarnWin32\\s.ini"}}});
  StageSource(2, "\\QuarnWin32\\s.ini", "[s]");
  EXPECT_TRUE(RunCopy(&rec, {}, false));
  EXPECT_EQ(FileBytes(kRoot + "\\QuarnWin32\\s.ini"), "[s]");
}

TEST_F(CopyEngine, TargetsOutsideTheirFolderAreRefused) {
  struct Case {
    const char* line;
    const char* code;     // the target code message 13 shows
    const char* written;  // where the file may land (nullptr: nowhere)
  } cases[] = {
      {"\\a.txt \\..\\..\\escaped.txt", "\\..\\..\\escaped.txt", nullptr},
      {"\\a.txt *?\\QuarnWin32\\..\\..\\escaped.txt", "*?\\QuarnWin32\\..\\..\\escaped.txt", nullptr},
      {"\\a.txt *%\\..\\escaped.txt", "*%\\..\\escaped.txt", nullptr},
      {"\\a.txt *%escaped.txt", "*%escaped.txt", nullptr},        // would be "T:\CopyEngineWinescaped.txt"
      {"\\a.txt *x\\escaped.txt", "*x\\escaped.txt", nullptr},    // unknown modifier: "...Testx\escaped.txt"
      {"\\a.txt *\\inside.txt", "*\\inside.txt", "\\inside.txt"},  // unknown modifier, path still inside
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line);
    Fresh();
    rec = Record{};
    OneDisc({c.line, "\\b.txt \\b.txt"});
    StageSource(1, "\\a.txt", "a");
    StageSource(1, "\\b.txt", "b");
    EXPECT_TRUE(RunCopy(&rec, {{IDOK, nullptr}}, false));
    ASSERT_EQ(rec.boxes.size(), 1u);
    EXPECT_EQ(rec.boxes[0].text, BadCodeText(c.code));
    EXPECT_EQ(rec.boxes[0].buttons, "ok cancel");
    EXPECT_EQ(rec.boxes[0].icon, "error");
    EXPECT_FALSE(PathExists("T:\\escaped.txt"));
    EXPECT_FALSE(PathExists("T:\\CopyEngineWinescaped.txt"));
    EXPECT_FALSE(PathExists("T:\\CopyEngineTestx\\escaped.txt"));
    if (c.written) {
      EXPECT_EQ(FileBytes(kRoot + c.written), "a");
    }
    EXPECT_EQ(FileBytes(kRoot + "\\b.txt"), "b");  // the next line is handled
  }
}

TEST_F(CopyEngine, CancelAtABadTargetCodeStopsAfterThatFile) {
  OneDisc({"\\a.txt *y\\a.txt", "\\b.txt \\b.txt"});
  StageSource(1, "\\a.txt", "a");
  StageSource(1, "\\b.txt", "b");
  EXPECT_FALSE(RunCopy(&rec, {{IDCANCEL, nullptr}}, false));
  EXPECT_FALSE(PathExists(kRoot + "\\b.txt"));
  EXPECT_TRUE(rec.commands.empty());
}

TEST_F(CopyEngine, MalformedLineIsReportedAndSkipped) {
  OneDisc({"\\nosep", "\\b.txt \\b.txt"});
  StageSource(1, "\\nosep", "x");
  StageSource(1, "\\b.txt", "b");
  EXPECT_TRUE(RunCopy(&rec, {{IDOK, nullptr}}, false));
  ASSERT_EQ(rec.boxes.size(), 1u);
  EXPECT_EQ(rec.boxes[0].text, BadCodeText("\\nosep"));
  EXPECT_EQ(FileBytes(kRoot + "\\b.txt"), "b");
}

TEST_F(CopyEngine, PathsTooLongForTheBuffersAreReportedNotCut) {
  // Root "T:\CopyEngineTest" is 17 characters. A target of 256 characters must not be cut to 255 and
  // written there; a source of 256 must not be read from its cut name.
  const std::string longTarget = "\\" + std::string(237, 't') + "\\x";  // 17 + 240 = 257
  const std::string cutTarget = kRoot + longTarget.substr(0, 255 - kRoot.size());
  const std::string sourceRel = "\\" + std::string(229, 's');  // 44 + 230 = 274 with the disc folder
  OneDisc({"\\a.txt " + longTarget, sourceRel + " \\s.txt", "\\b.txt \\b.txt"});
  StageSource(1, "\\a.txt", "aaa");
  StageSource(1, "\\b.txt", "b");
  EXPECT_TRUE(RunCopy(&rec, {{IDOK, nullptr}, {IDOK, nullptr}}, false));
  ASSERT_EQ(rec.boxes.size(), 2u);
  EXPECT_EQ(rec.boxes[0].text, CreateTargetText(kRoot + longTarget));
  EXPECT_EQ(rec.boxes[1].text, OpenSourceText(DiscFolder(1) + sourceRel));
  EXPECT_FALSE(PathExists(cutTarget));
  EXPECT_FALSE(PathExists(kRoot + "\\s.txt"));
  EXPECT_EQ(FileBytes(kRoot + "\\b.txt"), "b");
  EXPECT_EQ(g_state.copy.copyBytesDone, 4u);  // the uncreatable target counts, the unopened source does not
}

TEST_F(CopyEngine, NoWindowsFolderMeansNoWindowsFolderTarget) {
  // Without %windir% the "*%" target would be "\Fonts\a.ttf" on whatever drive is current.
  g_state.process.windowsFolder[0] = '\0';
  OneDisc({"\\a.ttf *%\\Fonts\\a.ttf"});
  StageSource(1, "\\a.ttf", "ttf");
  EXPECT_TRUE(RunCopy(&rec, {{IDOK, nullptr}}, false));
  ASSERT_EQ(rec.boxes.size(), 1u);
  EXPECT_EQ(rec.boxes[0].text, CreateTargetText("\\Fonts\\a.ttf"));
  EXPECT_FALSE(PathExists("\\Fonts\\a.ttf"));
  EXPECT_EQ(g_state.copy.copyBytesDone, 3u);
}

TEST_F(CopyEngine, WriteErrorIsReportedAndCancelStops) {
  // Wine maps Z: to the host's root, so the root folder "Z:\dev" and the target "\full" name the host's
  // /dev/full: it opens for writing and every write fails with "disk full".
  quarn_test::ChooseTarget('Z' - 64, "dev");
  strcpy(g_state.paths.stagingFolder, kStaging.c_str());  // the sources stay where the fixture stages them
  OneDisc({"\\a.txt \\full", "\\b.txt \\b.txt"});
  StageSource(1, "\\a.txt", "abc");
  StageSource(1, "\\b.txt", "b");
  // Holding the source open for reading keeps the engine's time read (which shares writes only) from
  // opening it, so the device keeps its own times; the copy itself shares reads and still opens it.
  HANDLE hold = CreateFileA((DiscFolder(1) + "\\a.txt").c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                            nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(hold, INVALID_HANDLE_VALUE);
  EXPECT_FALSE(RunCopy(&rec, {{IDCANCEL, nullptr}}, false));
  CloseHandle(hold);
  ASSERT_EQ(rec.boxes.size(), 1u);
  // "A(z) ' %s ' - ' %s ' fájl másolás írás hiba!"
  EXPECT_EQ(rec.boxes[0].text, "A(z) ' " + DiscFolder(1) + "\\a.txt ' - ' Z:\\dev\\full ' f\xe1jl m\xe1sol\xe1s \xedr\xe1s hiba!");
  EXPECT_EQ(rec.boxes[0].buttons, "ok cancel");
  EXPECT_EQ(rec.boxes[0].icon, "error");
  EXPECT_EQ(g_state.copy.copyBytesDone, 3u);  // the failed file counts; Cancel ends the step after it
  EXPECT_FALSE(PathExists("Z:\\dev\\b.txt"));
}

// A large checked file cut by a write error is recorded with the hash of what reached the target (here
// nothing: every write to the device fails), not with the set's digest of the whole file.
TEST_F(CopyEngine, CutCheckedFileIsRecordedWithWhatWasWritten) {
  quarn_test::ChooseTarget('Z' - 64, "dev");
  strcpy(g_state.paths.stagingFolder, kStaging.c_str());  // the sources stay where the fixture stages them
  OneDisc({"\\a.dat \\full"});
  StageSource(1, "\\a.dat", Content(2 * kBlock + 5, 3));
  uint64_t stagedSize = 0;
  std::string stagedDigest;
  ASSERT_TRUE(HashFile((DiscFolder(1) + "\\a.dat").c_str(), &stagedSize, &stagedDigest));
  PutFile(DiscFolder(1) + "\\Fajls_1.ini", FileBytes(DiscFolder(1) + "\\Fajls_1.ini") + "[Hashes]\r\na.dat=" +
                                                std::to_string(2 * kBlock + 5) + " " + stagedDigest + "\r\n");
  HANDLE hold = CreateFileA((DiscFolder(1) + "\\a.dat").c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                            nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(hold, INVALID_HANDLE_VALUE);
  EXPECT_FALSE(RunCopy(&rec, {{IDCANCEL, nullptr}}, false));
  CloseHandle(hold);
  ASSERT_EQ(rec.boxes.size(), 1u);
  uint64_t size = 1;
  std::string recorded;
  ASSERT_TRUE(FindRecordedFile("Z:\\dev\\full", &size, &recorded));
  EXPECT_EQ(size, 0u);
  EXPECT_EQ(recorded, "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");  // SHA-256 of nothing
}

}  // namespace

// A copied file is created temporary and loses that attribute once complete (ClearFileAttribute). Wine
// stores no temporary attribute at all (created with 0x180, it reads back 0x20), so the helper is shown
// with attributes Wine does keep: the one bit goes, the others stay.
TEST(ClearFileAttribute, ClearsOneBitAndKeepsTheOthers) {
  const std::string path = "T:\\ClearAttributeTest.bin";
  struct Case {
    DWORD created;
    DWORD clear;
    DWORD left;  // among hidden, system and read-only
  } cases[] = {
      {FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM, FILE_ATTRIBUTE_HIDDEN, FILE_ATTRIBUTE_SYSTEM},
      {FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_READONLY, FILE_ATTRIBUTE_READONLY, FILE_ATTRIBUTE_HIDDEN},
      {FILE_ATTRIBUTE_HIDDEN, FILE_ATTRIBUTE_HIDDEN, 0},
      {FILE_ATTRIBUTE_SYSTEM, FILE_ATTRIBUTE_TEMPORARY, FILE_ATTRIBUTE_SYSTEM},  // absent bit: nothing changes
  };
  const DWORD kept = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_READONLY;
  for (const Case& c : cases) {
    SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteFileA(path.c_str());
    PutFile(path, "x");
    ASSERT_TRUE(SetFileAttributesA(path.c_str(), c.created)) << GetLastError();
    ASSERT_EQ(GetFileAttributesA(path.c_str()) & kept, c.created & kept) << "Wine keeps these attributes";
    EXPECT_TRUE(ClearFileAttribute(path.c_str(), c.clear)) << c.created << " " << c.clear;
    EXPECT_EQ(GetFileAttributesA(path.c_str()) & kept, c.left) << c.created << " " << c.clear;
  }
  SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
  DeleteFileA(path.c_str());
  EXPECT_FALSE(ClearFileAttribute("T:\\ClearAttributeTest-missing.bin", FILE_ATTRIBUTE_TEMPORARY));
}
