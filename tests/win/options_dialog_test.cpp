// The options dialog and the drive check in-process, on the real QUARNWIN and SetDriveBox templates.
// Message boxes and the chooser are answered from a second thread, the way a user would: the dialog's
// own modal loops run on the test thread meanwhile. Drive T: is a folder mapped by the test prefix.
#include <windows.h>

#include <commdlg.h>
#include <dlgs.h>
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
#include "ui/drive_chooser_win.h"

namespace {

std::string LoadA(UINT id) {
  char buf[256] = "";
  LoadStringA(GetModuleHandleA(nullptr), id, buf, sizeof buf);
  return buf;
}

std::string Format1(UINT id, const char* arg) {
  char out[512];
  snprintf(out, sizeof out, LoadA(id).c_str(), arg);
  return out;
}

// A drive letter the prefix does not have.
char MissingDrive() {
  DWORD drives = GetLogicalDrives();
  for (char c = 'Q'; c >= 'H'; --c) {
    if (!(drives & (1u << (c - 'A')))) return c;
  }
  return 0;
}

// Polls `probe` until it yields a window or the time is up.
HWND WaitWindow(const std::function<HWND()>& probe, DWORD ms = 10000) {
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
BOOL CALLBACK EnumOne(HWND h, LPARAM lp) {
  auto* f = reinterpret_cast<EnumFind*>(lp);
  if (IsWindowVisible(h) && f->want(h)) {
    f->found = h;
    return FALSE;
  }
  return TRUE;
}
HWND FindThreadWindow(DWORD thread, const std::function<bool(HWND)>& want) {
  EnumFind f;
  f.want = want;
  EnumThreadWindows(thread, EnumOne, reinterpret_cast<LPARAM>(&f));
  return f.found;
}
// A message box of the program: a dialog window with its caption (string 29) and a text control. (The
// options dialog has statics with id -1 too, so the caption tells them apart.)
bool IsMessageBox(HWND h) {
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

TEST_F(OptionsDialog, StartsOnDriveCWithTheTemplateAndPartStates) {
  EXPECT_TRUE(Boxes().empty()) << "start-up must not complain about drive C:";
  EXPECT_EQ(Field(), "C:");
  EXPECT_EQ(g_state.choices.targetDrive, 3);
  EXPECT_EQ(CurrentDrive(), "C:");
  EXPECT_STREQ(g_state.choices.rootName, "V92Demo");
  char title[128] = "";
  GetWindowTextA(dialog_, title, sizeof title);
  EXPECT_STREQ(title, "QuarnCAD DEMO let\xf6lt\xe9s a WEB-r\xf5l:");  // "letöltés a WEB-ről:"
  EXPECT_EQ(SendDlgItemMessageA(dialog_, IDC_DRIVE_EDIT, EM_GETLIMITTEXT, 0, 0), 3);

  struct Box {
    int id;
    bool checked, enabled;
  } boxes[] = {{IDC_PART_SETUP, true, false},    {IDC_PART_SYSTEMS, true, false}, {IDC_PART_DRAWINGS, true, true},
               {IDC_PART_BLOCKS, true, true},    {IDC_PART_PROJECTS, false, false}, {IDC_PART_DATAS, true, true},
               {IDC_PART_HELP, true, true},      {IDC_START_AFTER, true, true}};
  for (const Box& b : boxes) {
    EXPECT_EQ(Checked(b.id), b.checked) << b.id;
    EXPECT_EQ(Enabled(b.id), b.enabled) << b.id;
  }
  const int32_t want[kPartCount] = {1, 1, 1, 1, 0, 1, 1};
  for (int p = 0; p < kPartCount; ++p) EXPECT_EQ(g_state.choices.partSelected[p], want[p]) << kPartNames[p];
  EXPECT_EQ(g_state.choices.startAfterInstall, 1);

  EXPECT_TRUE(Enabled(IDOK));
  EXPECT_TRUE(Enabled(IDC_CHOOSE_DRIVE));
  EXPECT_TRUE(Enabled(IDC_DRIVE_EDIT));
  EXPECT_FALSE(Enabled(IDC_HELP_BUTTON));
  EXPECT_TRUE(Enabled(IDC_INFO_BUTTON));
  EXPECT_TRUE(Enabled(IDCANCEL));

  // Disc 1 holds the six parts; every other mark is gone.
  for (int d = 0; d < kDiscCount; ++d) {
    for (int p = 0; p < kPartCount; ++p) {
      EXPECT_EQ(g_state.choices.discTable[d].present[p], d == 0 && p != kProjects ? 1 : 0) << d << " " << p;
    }
  }
}

TEST_F(OptionsDialog, ClickingTwiceRestoresFlagAndMark) {
  struct Case {
    int id;
    int32_t* flag;
  } cases[] = {{IDC_PART_DRAWINGS, &g_state.choices.partSelected[kDrawings]}, {IDC_PART_BLOCKS, &g_state.choices.partSelected[kBlocks]},
               {IDC_PART_DATAS, &g_state.choices.partSelected[kDatas]},       {IDC_PART_HELP, &g_state.choices.partSelected[kHelp]},
               {IDC_PART_SETUP, &g_state.choices.partSelected[kSetup]},       {IDC_PART_SYSTEMS, &g_state.choices.partSelected[kSystems]},
               {IDC_START_AFTER, &g_state.choices.startAfterInstall}};
  for (const Case& c : cases) {
    ASSERT_EQ(*c.flag, 1) << c.id;
    Click(c.id);
    EXPECT_EQ(*c.flag, 0) << c.id;
    EXPECT_FALSE(Checked(c.id)) << c.id;
    Click(c.id);
    EXPECT_EQ(*c.flag, 1) << c.id;
    EXPECT_TRUE(Checked(c.id)) << c.id;
  }
  // The projects box, the reserved id and Help do nothing.
  for (int id : {IDC_PART_PROJECTS, IDC_PART_RESERVED, IDC_HELP_BUTTON}) Click(id);
  EXPECT_EQ(g_state.choices.partSelected[kProjects], 0);
  EXPECT_FALSE(Checked(IDC_PART_PROJECTS));
  EXPECT_TRUE(Boxes().empty());
}

TEST_F(OptionsDialog, TypedLetterBehindTheDriveBecomesTheTarget) {
  TypeAtEnd("t");
  EXPECT_TRUE(Boxes().empty());
  EXPECT_EQ(Field(), "t:");
  EXPECT_EQ(g_state.choices.targetDrive, 20);
  EXPECT_EQ(CurrentDrive(), "T:");
  TypeAtEnd("C");
  EXPECT_EQ(Field(), "C:");
  EXPECT_EQ(g_state.choices.targetDrive, 3);
  // A colon behind the letter: three characters stay and nothing is checked.
  TypeAtEnd(":");
  EXPECT_EQ(Field(), "C::");
  EXPECT_EQ(g_state.choices.targetDrive, 3);
  EXPECT_TRUE(Boxes().empty());
}

TEST_F(OptionsDialog, DigitShowsStringOneAndChangesNothing) {
  TypeAtEnd("5");
  auto boxes = Boxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, LoadA(IDS_DRIVE_INVALID));
  EXPECT_EQ(boxes[0].caption, LoadA(IDS_CAPTION));
  EXPECT_EQ(boxes[0].owner, dialog_);
  EXPECT_EQ(Field(), "5:");
  EXPECT_EQ(g_state.choices.targetDrive, 3);
  // Install checks again, shows the same message and runs nothing else.
  Click(IDOK);
  boxes = Boxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, LoadA(IDS_DRIVE_INVALID));
  EXPECT_TRUE(IsWindow(dialog_));
  EXPECT_TRUE(Enabled(IDOK));
  EXPECT_EQ(g_state.windows.optionsDialog, nullptr) << "the web installation must not have started";
}

TEST_F(OptionsDialog, UnusableDriveShowsStringTwoWithTheUpperCaseLetter) {
  const char missing = MissingDrive();
  ASSERT_NE(missing, 0);
  const char typed[2] = {static_cast<char>(missing - 'A' + 'a'), '\0'};
  const char upper[3] = {missing, ':', '\0'};
  TypeAtEnd(typed);
  auto boxes = Boxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, Format1(IDS_DRIVE_NOT_READY, upper));
  EXPECT_NE(boxes[0].text.find(upper), std::string::npos);
  EXPECT_EQ(g_state.choices.targetDrive, 3);
  EXPECT_EQ(CurrentDrive(), "C:");
  // The rejected letter stays in the field; Install rejects it again.
  EXPECT_EQ(Field(), std::string(typed) + ":");
  Click(IDOK);
  boxes = Boxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, Format1(IDS_DRIVE_NOT_READY, upper));
  EXPECT_EQ(g_state.windows.optionsDialog, nullptr);
}

TEST_F(OptionsDialog, AnyFieldTextIsCheckedSafely) {
  const char missing = MissingDrive();
  const std::string missingText = std::string(1, missing) + "x";
  struct Case {
    std::string text;
    int box;           // 0 none, 1 or 2: the string shown
    int32_t drive;     // targetDrive afterwards
  } cases[] = {
      {"", 1, 3},       {"5", 1, 3},       {"\xe9", 1, 3},  // é
      {" C", 1, 3},     {"::", 1, 3},      {"\xc1:", 1, 3},  // Á
      {"t", 0, 20},     {"W:\\", 0, 23},   {"c:x", 0, 3},
      {missingText, 2, 3},
      {std::string(300, 'u'), 0, 21},  // more than the field may hold: cut, then U: is checked
  };
  for (const Case& c : cases) {
    g_state.choices.targetDrive = 3;
    SetCurrentDirectoryA("C:\\");
    HWND edit = GetDlgItem(dialog_, IDC_DRIVE_EDIT);
    // Set through the field's own text (as the program does), then check it as Install would.
    SendMessageA(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(c.text.c_str()));
    Boxes();
    const bool applied = ApplyTargetDrive(dialog_);
    auto boxes = Boxes();
    SCOPED_TRACE("field \"" + c.text.substr(0, 8) + "\"");
    EXPECT_EQ(applied, c.box == 0);
    EXPECT_EQ(g_state.choices.targetDrive, c.drive);
    if (c.box == 0) {
      EXPECT_TRUE(boxes.empty());
    } else {
      ASSERT_EQ(boxes.size(), 1u);
      EXPECT_EQ(boxes[0].text, c.box == 1 ? LoadA(IDS_DRIVE_INVALID)
                                          : Format1(IDS_DRIVE_NOT_READY, std::string({missing, ':'}).c_str()));
    }
    // Twice gives the same state as once.
    if (c.box == 0) {
      EXPECT_TRUE(ApplyTargetDrive(dialog_));
      EXPECT_EQ(g_state.choices.targetDrive, c.drive);
    }
  }
}

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
