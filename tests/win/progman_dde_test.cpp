// The Program Manager conversation and the launch step, under Wine.
//
// Three settings:
//   - Wine's own Program Manager service (explorer), on the normal desktop: the group and its items
//     appear where Wine keeps them, and the stand-in system starts at the end.
//   - A private desktop whose Program Manager service has been closed: nobody answers, so the time-out
//     path is taken (and Cancel during the wait must start nothing).
//   - The same private desktop with a recording server of the test's own: it shows what Wine's service
//     cannot, the exact bytes of each command, that only one command is ever in flight, a server that
//     refuses everything, one that never answers and one that ends the conversation.
#include <windows.h>
#include <dde.h>
#include <objbase.h>
#include <shlobj.h>
#include <tlhelp32.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "state/install_state_win.h"
#include "layout/description.h"
#include "install/launch_win.h"
#include "install/progman_dde_win.h"
#include "install/uninstall_record_win.h"
#include "staged_description.h"
#include "test_files.h"

namespace {

using quarn_test::ExeFolder;
using quarn_test::FileBytes;
using quarn_test::PathExists;
using quarn_test::FileExists;
using quarn_test::PutFile;
using quarn_test::StagedDescriptionTest;

constexpr char kStandinExe[] = "QuarnWin32.exe";

// Runs this thread's messages until done() holds or the time-out passes; returns done().
bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs) {
  const DWORD start = GetTickCount();
  while (!done()) {
    if (GetTickCount() - start >= timeoutMs) return done();
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
    }
  }
  return true;
}

// The process ids of the running stand-ins (only this prefix's processes are visible).
std::vector<DWORD> StandinProcesses() {
  std::vector<DWORD> ids;
  HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snap == INVALID_HANDLE_VALUE) return ids;
  PROCESSENTRY32 entry = {};
  entry.dwSize = sizeof entry;
  for (BOOL ok = Process32First(snap, &entry); ok; ok = Process32Next(snap, &entry)) {
    if (_stricmp(entry.szExeFile, kStandinExe) == 0) ids.push_back(entry.th32ProcessID);
  }
  CloseHandle(snap);
  return ids;
}

void EndStandins() {
  for (DWORD id : StandinProcesses()) {
    HANDLE p = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, id);
    if (!p) continue;
    TerminateProcess(p, 0);
    WaitForSingleObject(p, 10000);
    CloseHandle(p);
  }
}

struct Link {
  bool loaded = false;
  std::string path, workingDirectory, icon;
  int iconIndex = -1;
};

Link ReadLink(const std::string& file) {
  Link link;
  IShellLinkA* shell = nullptr;
  if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                              reinterpret_cast<void**>(&shell)))) {
    return link;
  }
  IPersistFile* persist = nullptr;
  if (SUCCEEDED(shell->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&persist)))) {
    wchar_t wide[MAX_PATH] = L"";
    MultiByteToWideChar(CP_ACP, 0, file.c_str(), -1, wide, MAX_PATH);
    if (SUCCEEDED(persist->Load(wide, STGM_READ))) {
      char text[MAX_PATH] = "";
      link.loaded = true;
      if (SUCCEEDED(shell->GetPath(text, MAX_PATH, nullptr, 0))) link.path = text;
      text[0] = '\0';
      if (SUCCEEDED(shell->GetWorkingDirectory(text, MAX_PATH))) link.workingDirectory = text;
      text[0] = '\0';
      if (SUCCEEDED(shell->GetIconLocation(text, MAX_PATH, &link.iconIndex))) link.icon = text;
    }
    persist->Release();
  }
  shell->Release();
  return link;
}

std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
  return s;
}

LRESULT CALLBACK PlainWindowProc(HWND w, UINT m, WPARAM wp, LPARAM lp) { return DefWindowProcA(w, m, wp, lp); }

void RegisterPlainClass() {
  WNDCLASSA wc = {};
  wc.lpfnWndProc = PlainWindowProc;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.lpszClassName = "QuarnDdeTestWindow";
  RegisterClassA(&wc);  // a second registration in the same process fails harmlessly
}

// The installer's two windows as the conversation sees them: the backdrop (g_state.windows.mainWindow, whose
// destruction is the launch step's first visible effect) and the options dialog that parents the
// client window and is owned by the backdrop.
struct InstallerWindows {
  HWND main = nullptr;
  HWND options = nullptr;
  void Create() {
    RegisterPlainClass();
    main = CreateWindowA("QuarnDdeTestWindow", "backdrop", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                         GetModuleHandleA(nullptr), nullptr);
    options = CreateWindowA("QuarnDdeTestWindow", "options", WS_POPUP, 0, 0, 10, 10, main, nullptr,
                            GetModuleHandleA(nullptr), nullptr);
    g_state.windows.mainWindow = main;
  }
  bool Closed() const { return !IsWindow(main); }
  void Destroy() {
    if (IsWindow(main)) DestroyWindow(main);
  }
};

// Every test gets a root folder of its own on T:, with the stand-in system installed in it.
class ConversationTest : public StagedDescriptionTest {
 protected:
  void SetUp() override {
    StagedDescriptionTest::SetUp();
    g_state.windows.instance = GetModuleHandleA(nullptr);
    g_state.choices.targetDrive = 'T' - 64;
    g_state.choices.startAfterInstall = 1;
    SetRoot("Dde" + std::to_string(GetCurrentProcessId()) + "_" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    ASSERT_TRUE(StandinProcesses().empty()) << "a stand-in from an earlier test still runs";
  }

  void TearDown() override {
    SetProgramManagerTimeoutForTesting(0);
    windows_.Destroy();
    EndStandins();
    RemoveRoot();
    StagedDescriptionTest::TearDown();
  }

  void RemoveRoot() {
    if (rootFolder_.empty()) return;
    DeleteFileA((programFolder_ + "\\started.log").c_str());
    DeleteFileA((programFolder_ + "\\" + kStandinExe).c_str());
    RemoveDirectoryA(programFolder_.c_str());
    RemoveDirectoryA(rootFolder_.c_str());
  }

  void SetRoot(const std::string& root, bool record = true) {
    RemoveRoot();
    ASSERT_LT(root.size(), sizeof g_state.choices.rootName);
    quarn_test::ChooseTarget('T' - 64, root.c_str());
    rootFolder_ = "T:\\" + root;
    programFolder_ = rootFolder_ + "\\QuarnWin32";
    CreateDirectoryA(rootFolder_.c_str(), nullptr);
    CreateDirectoryA(programFolder_.c_str(), nullptr);
    const std::string standin = ExeFolder() + "tools\\standin\\" + kStandinExe;
    ASSERT_TRUE(CopyFileA(standin.c_str(), (programFolder_ + "\\" + kStandinExe).c_str(), FALSE))
        << "the stand-in system is built beside the tests: " << standin;
    // Recorded as the copy step records the file it installed: the launch starts only that.
    if (!record) return;
    uint64_t size = 0;
    std::string sha256;
    ASSERT_TRUE(HashFile((programFolder_ + "\\" + kStandinExe).c_str(), &size, &sha256));
    RecordInstalledFile((programFolder_ + "\\" + kStandinExe).c_str(), size, sha256, true);
  }

  std::string StartedLog() const { return programFolder_ + "\\started.log"; }

  // The stand-in writes its log as its first act; waiting for the log waits for the start.
  bool WaitStarted() {
    return PumpUntil([&] { return FileBytes(StartedLog()).find("\r\n") != std::string::npos; }, 20000);
  }

  InstallerWindows windows_;
  std::string rootFolder_, programFolder_;
};

// ---------------------------------------------------------------------------------------------------
// Against Wine's own Program Manager service.

class WineProgramManagerTest : public ConversationTest {
 protected:
  void SetUp() override {
    ConversationTest::SetUp();
    char programs[MAX_PATH] = "";
    ASSERT_EQ(SHGetFolderPathA(nullptr, CSIDL_PROGRAMS, nullptr, SHGFP_TYPE_CURRENT, programs), S_OK);
    programs_ = programs;
    CoInitialize(nullptr);
  }

  void TearDown() override {
    ConversationTest::TearDown();
    // Wine opens a folder window for every group it creates; it would stay (and keep this test's output
    // open) until the wineserver ends, so it is closed here.
    if (!group_.empty()) {
      HWND w = nullptr;
      PumpUntil([&] { return (w = FindWindowA("ExplorerWClass", group_.c_str())) != nullptr; }, 15000);
      while ((w = FindWindowA("ExplorerWClass", group_.c_str())) != nullptr) {
        PostMessageA(w, WM_CLOSE, 0, 0);
        PumpUntil([&] { return !IsWindow(w); }, 10000);
      }
      quarn_test::RemoveTree(GroupFolder());
    }
    CoUninitialize();
  }

  std::string GroupFolder() const { return programs_ + "\\" + group_; }
  std::string Item(const char* name) const { return GroupFolder() + "\\" + name + ".lnk"; }

  // Runs the conversation to its end: the launch step destroys the backdrop.
  void Converse() {
    windows_.Create();
    StartProgramManagerConversation(windows_.options, LaunchInstalledSystem);
    ASSERT_TRUE(PumpUntil([&] { return windows_.Closed(); }, 30000)) << "the conversation did not end";
  }

  std::string programs_, group_;
};

TEST_F(WineProgramManagerTest, GroupAndItemsAppearAndTheSystemStarts) {
  // "QuarnCAD bemutató" (demonstration): the ANSI text reaches the Unicode service in code page 1250.
  group_ = "QuarnCAD bemutat\xf3 " + std::to_string(GetCurrentProcessId());
  WriteDescription("[Command]\n"
                   "Command1=[CreateGroup(" + group_ + ")]\n"
                   "Command2=[AddItem(#\\QuarnWin32\\QuarnWin32.exe,QuarnCAD)]\n"
                   // The target does not exist: the service refuses it, and the list goes on.
                   "Command3=[AddItem(#\\QuarnWin32\\Nincs.exe,Hi\xe1nyz\xf3)]\n"
                   // A help viewer command: "%s" is the Windows folder.
                   "Command4=[AddItem(%s\\hh.exe,S\xfag\xf3)]\n"
                   // Two '#' in one command.
                   "Command5=[AddItem(#\\QuarnWin32\\QuarnWin32.exe,Ikon,#\\QuarnWin32\\QuarnWin32.exe,1)]\n"
                   // Not a help command: its '%' sequences are no format and stay as written.
                   "Command6=[AddItem(#\\QuarnWin32\\QuarnWin32.exe,Sz\xe1z%s%d%n)]\n"
                   // Behind a gap: never read.
                   "Command8=[AddItem(#\\QuarnWin32\\QuarnWin32.exe,Gap)]\n");
  Converse();

  const std::string exe = Lower(programFolder_ + "\\QuarnWin32.exe");
  ASSERT_TRUE(PathExists(GroupFolder())) << GroupFolder();
  const Link system = ReadLink(Item("QuarnCAD"));
  ASSERT_TRUE(system.loaded);
  EXPECT_EQ(Lower(system.path), exe);

  EXPECT_FALSE(PathExists(Item("Hi\xe1nyz\xf3")));

  const Link help = ReadLink(Item("S\xfag\xf3"));
  ASSERT_TRUE(help.loaded) << "the help item follows a refused command";
  EXPECT_EQ(Lower(help.path), Lower(std::string(g_state.process.windowsFolder) + "\\hh.exe"));

  const Link icon = ReadLink(Item("Ikon"));
  ASSERT_TRUE(icon.loaded);
  EXPECT_EQ(Lower(icon.path), exe);
  EXPECT_EQ(Lower(icon.icon), exe);
  EXPECT_EQ(icon.iconIndex, 1);

  EXPECT_TRUE(ReadLink(Item("Sz\xe1z%s%d%n")).loaded);
  EXPECT_FALSE(PathExists(Item("Gap")));

  ASSERT_TRUE(WaitStarted());
  EXPECT_NE(FileBytes(StartedLog()).find("QuarnWin32.exe"), std::string::npos);
}

TEST_F(WineProgramManagerTest, CommandLongerThan255AfterReplacementArrivesWhole) {
  // A long root folder: three '#' push the command well past 255 characters. Its last argument, the
  // working folder, only reaches the service if nothing was cut (a cut command would not parse at all).
  SetRoot("Dde" + std::to_string(GetCurrentProcessId()) + "_" + std::string(80, 'h'));
  group_ = "QuarnCAD hossz " + std::to_string(GetCurrentProcessId());
  const std::string command =
      "[AddItem(#\\QuarnWin32\\QuarnWin32.exe,Hossz\xfa,#\\QuarnWin32\\QuarnWin32.exe,0,0,0,#\\QuarnWin32)]";
  ASSERT_LT(command.size(), 256u);
  ASSERT_GT(PrepareProgramManagerCommand(command.c_str(), rootFolder_.c_str(), "").size(), 300u);
  WriteDescription("[Command]\nCommand1=[CreateGroup(" + group_ + ")]\nCommand2=" + command + "\n");
  g_state.choices.startAfterInstall = 0;
  Converse();

  const Link item = ReadLink(Item("Hossz\xfa"));
  ASSERT_TRUE(item.loaded);
  EXPECT_EQ(Lower(item.workingDirectory), Lower(programFolder_));
  EXPECT_EQ(Lower(item.icon), Lower(programFolder_ + "\\QuarnWin32.exe"));
  // The start box was cleared: the installer only closed.
  EXPECT_TRUE(StandinProcesses().empty());
  EXPECT_FALSE(PathExists(StartedLog()));
}

// ---------------------------------------------------------------------------------------------------
// Nothing to send: the end step (the launch) runs at once, inside StartProgramManagerConversation.

TEST_F(ConversationTest, WithoutCommandsTheLaunchRunsAtOnce) {
  struct Case {
    const char* description;
    int32_t startAfterInstall;
  } cases[] = {
      {"[System]\nRootDirectory=X\n", 1},  // no section Command
      {"[Command]\nCommand2=[CreateGroup(Never)]\n", 1},  // the list starts with a gap
      {"[Command]\nCommand1=*[CreateGroup(Never)]\n", 0},  // a star value is absent
      {"", 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.description);
    WriteDescription(c.description);
    g_state.choices.startAfterInstall = c.startAfterInstall;
    windows_.Create();
    StartProgramManagerConversation(windows_.options, LaunchInstalledSystem);
    EXPECT_TRUE(windows_.Closed());
    if (c.startAfterInstall) {
      EXPECT_TRUE(WaitStarted());
    } else {
      // A start would have created the process before the launch step returned.
      EXPECT_TRUE(StandinProcesses().empty());
    }
    EndStandins();
    DeleteFileA(StartedLog().c_str());
  }
}

// ---------------------------------------------------------------------------------------------------
// The launch step on its own.

TEST_F(ConversationTest, LaunchStartsAPathWithBlanksUnquoted) {
  SetRoot("Dde Blank " + std::to_string(GetCurrentProcessId()));
  windows_.Create();
  LaunchInstalledSystem();
  EXPECT_TRUE(windows_.Closed());
  ASSERT_TRUE(WaitStarted());
  EXPECT_NE(FileBytes(StartedLog()).find(programFolder_ + "\\QuarnWin32.exe"), std::string::npos);
}

// Only the program file this run installed, unchanged, is started: one changed after the copy (another
// user may write into the root folder) or never installed by this run is not.
TEST_F(ConversationTest, LaunchStartsOnlyTheProgramThisRunInstalled) {
  struct Case {
    const char* name;
    const char* append;  // bytes added to the program file after it was recorded
    bool recorded;
    bool started;
  } const cases[] = {
      {"unchanged", "", true, true},
      {"changed after the copy", "patched", true, false},
      {"never installed by this run", "", false, false},
  };
  int n = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SetRoot("Dde Check " + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(n++), c.recorded);
    const std::string program = programFolder_ + "\\" + kStandinExe;
    if (c.append[0] != '\0') {
      const std::string bytes = FileBytes(program) + c.append;
      PutFile(program, bytes);
    }
    windows_.Create();
    LaunchInstalledSystem();
    EXPECT_TRUE(windows_.Closed());
    if (c.started) {
      EXPECT_TRUE(WaitStarted());
    } else {
      EXPECT_TRUE(StandinProcesses().empty());
      EXPECT_FALSE(FileExists(StartedLog()));
    }
    EndStandins();
    RemoveRoot();
  }
}

TEST_F(ConversationTest, LaunchWithoutTheSystemOnlyCloses) {
  DeleteFileA((programFolder_ + "\\" + kStandinExe).c_str());
  windows_.Create();
  LaunchInstalledSystem();  // beeps; nothing else to see
  EXPECT_TRUE(windows_.Closed());
  EXPECT_TRUE(StandinProcesses().empty());
}

// ---------------------------------------------------------------------------------------------------
// A private desktop without a Program Manager service.

// A test server for service and topic "PROGMAN": records every command it receives and answers as told.
struct RecordingServer {
  enum class Answer { kAccept, kReject, kNever, kTerminateOnSecond };
  Answer answer = Answer::kAccept;
  HWND window = nullptr;
  HWND client = nullptr;
  std::vector<std::string> commands;
  int inFlight = 0;
  bool overlapped = false;  // a command arrived while another one was unanswered
  bool terminated = false;  // the client sent WM_DDE_TERMINATE

  static constexpr UINT kAnswerLater = WM_APP + 1;

  static LRESULT CALLBACK Proc(HWND w, UINT m, WPARAM wp, LPARAM lp) {
    RecordingServer* s = reinterpret_cast<RecordingServer*>(GetWindowLongPtrA(w, GWLP_USERDATA));
    if (s == nullptr) return DefWindowProcA(w, m, wp, lp);
    switch (m) {
      case WM_DDE_INITIATE: {
        char service[64] = "", topic[64] = "";
        GlobalGetAtomNameA(LOWORD(lp), service, sizeof service);
        GlobalGetAtomNameA(HIWORD(lp), topic, sizeof topic);
        if (_stricmp(service, "PROGMAN") == 0 && _stricmp(topic, "PROGMAN") == 0) {
          s->client = reinterpret_cast<HWND>(wp);
          SendMessageA(s->client, WM_DDE_ACK, reinterpret_cast<WPARAM>(w),
                       MAKELPARAM(GlobalAddAtomA("PROGMAN"), GlobalAddAtomA("PROGMAN")));
        }
        return 0;
      }
      case WM_DDE_EXECUTE: {
        UINT_PTR lo = 0, hi = 0;
        UnpackDDElParam(WM_DDE_EXECUTE, lp, &lo, &hi);
        FreeDDElParam(WM_DDE_EXECUTE, lp);
        HGLOBAL block = reinterpret_cast<HGLOBAL>(hi);
        const char* text = static_cast<const char*>(GlobalLock(block));
        s->commands.push_back(text ? std::string(text, strnlen(text, GlobalSize(block))) : "<unreadable>");
        GlobalUnlock(block);
        if (s->inFlight > 0) s->overlapped = true;
        ++s->inFlight;
        // The answer comes later, from the message loop: a client that does not wait for it would send
        // its next command in between.
        PostMessageA(w, kAnswerLater, 0, reinterpret_cast<LPARAM>(block));
        return 0;
      }
      case kAnswerLater: {
        const size_t n = s->commands.size();
        if (s->answer == Answer::kNever) return 0;
        if (s->answer == Answer::kTerminateOnSecond && n == 2) {
          PostMessageA(s->client, WM_DDE_TERMINATE, reinterpret_cast<WPARAM>(w), 0);
          return 0;
        }
        --s->inFlight;
        DDEACK ack = {};
        ack.fAck = s->answer == Answer::kAccept ? 1 : 0;
        WORD status;
        memcpy(&status, &ack, sizeof status);
        PostMessageA(s->client, WM_DDE_ACK, reinterpret_cast<WPARAM>(w),
                     PackDDElParam(WM_DDE_ACK, status, static_cast<UINT_PTR>(lp)));
        return 0;
      }
      case WM_DDE_TERMINATE:
        s->terminated = true;
        return 0;
      default:
        return DefWindowProcA(w, m, wp, lp);
    }
  }

  void Create() {
    WNDCLASSA wc = {};
    wc.lpfnWndProc = Proc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "QuarnDdeTestServer";
    RegisterClassA(&wc);
    window = CreateWindowA("QuarnDdeTestServer", "server", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                           GetModuleHandleA(nullptr), nullptr);
    SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  }
  ~RecordingServer() {
    if (IsWindow(window)) DestroyWindow(window);
  }
};

// Runs `body` on a thread of its own attached to a fresh desktop (a thread's desktop can only be changed
// before it owns windows). Wine starts a desktop process with its own Program Manager service for every
// desktop; on this one the service's name windows are closed first, so that nobody answers "PROGMAN".
void OnDesktopWithoutProgramManager(const std::function<void()>& body) {
  static std::atomic<int> serial{0};
  std::string failure;
  std::thread thread([&] {
    const std::string name = "QuarnNoProgman" + std::to_string(GetCurrentProcessId()) + "_" +
                             std::to_string(++serial);
    HDESK desktop = CreateDesktopA(name.c_str(), nullptr, nullptr, 0, GENERIC_ALL, nullptr);
    if (!desktop || !SetThreadDesktop(desktop)) {
      failure = "no private desktop";
      return;
    }
    // The first window on the desktop brings up its desktop process and, with it, the service.
    RegisterPlainClass();
    HWND probe = CreateWindowA("QuarnDdeTestWindow", "probe", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr,
                               GetModuleHandleA(nullptr), nullptr);
    if (!PumpUntil([] { return FindWindowA("WineDdeServerName", nullptr) != nullptr; }, 15000)) {
      failure = "the desktop's Program Manager service did not come up";
    } else {
      HWND w;
      while ((w = FindWindowA("WineDdeServerName", nullptr)) != nullptr) {
        PostMessageA(w, WM_CLOSE, 0, 0);
        if (!PumpUntil([&] { return !IsWindow(w); }, 10000)) {
          failure = "the service's window stayed";
          break;
        }
      }
    }
    DestroyWindow(probe);
    if (failure.empty()) body();
    CloseDesktop(desktop);
  });
  thread.join();
  ASSERT_EQ(failure, "");
}

TEST_F(ConversationTest, NobodyAnswersTheTimeOutLaunchesTheSystem) {
  struct Case {
    const char* description;
    bool waits;  // with a command to send, the conversation waits for an answer first
  } cases[] = {
      {"[Command]\nCommand1=[CreateGroup(Senki)]\n", true},
      {"[System]\nRootDirectory=X\n", false},
  };
  SetProgramManagerTimeoutForTesting(300);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.description);
    WriteDescription(c.description);
    OnDesktopWithoutProgramManager([&] {
      windows_.Create();
      StartProgramManagerConversation(windows_.options, LaunchInstalledSystem);
      EXPECT_EQ(windows_.Closed(), !c.waits);
      EXPECT_TRUE(PumpUntil([&] { return windows_.Closed(); }, 20000)) << "the time-out did not end the wait";
      EXPECT_TRUE(WaitStarted());
    });
    EndStandins();
    DeleteFileA(StartedLog().c_str());
  }
}

TEST_F(ConversationTest, CancelDuringTheWaitStartsNothing) {
  WriteDescription("[Command]\nCommand1=[CreateGroup(Senki)]\n");
  SetProgramManagerTimeoutForTesting(200);
  OnDesktopWithoutProgramManager([&] {
    windows_.Create();
    StartProgramManagerConversation(windows_.options, LaunchInstalledSystem);
    ASSERT_FALSE(windows_.Closed());
    // Cancel destroys the backdrop, and the client window with it.
    windows_.Destroy();
    // Wait out several time-outs: a time-out that survived would launch within one.
    PumpUntil([] { return false; }, 1000);
    EXPECT_TRUE(StandinProcesses().empty());
    EXPECT_FALSE(PathExists(StartedLog()));
  });
}

struct ServerCase {
  RecordingServer::Answer answer;
  const char* what;
};

TEST_F(ConversationTest, RecordingServerReceivesPreparedCommandsOneAtATime) {
  // "Súgó" with "%s" and "%%": only help viewer commands are formatted.
  WriteDescription("[Command]\n"
                   "Command1=[CreateGroup(QuarnCAD)]\n"
                   "Command2=[AddItem(#\\QuarnWin32\\QuarnWin32.exe,QuarnCAD,#\\x.ico,0,0,0,#)]\n"
                   "Command3=[AddItem(%s\\hh.exe #\\Help\\quarn.chm,S\xfag\xf3 100%%)]\n"
                   "Command4=[AddItem(%s\\WinHlp32.exe,%d %n %x)]\n"
                   "Command5=[AddItem(#\\a.exe,%s %% %d %n)]\n"
                   "Command6=[AddItem(#\\a.exe,HH.EXE %s)]\n");
  strcpy(g_state.process.windowsFolder, "C:\\windows");
  const std::string r = rootFolder_;
  const std::vector<std::string> expected = {
      "[CreateGroup(QuarnCAD)]",
      "[AddItem(" + r + "\\QuarnWin32\\QuarnWin32.exe,QuarnCAD," + r + "\\x.ico,0,0,0," + r + ")]",
      "[AddItem(C:\\windows\\hh.exe " + r + "\\Help\\quarn.chm,S\xfag\xf3 100%)]",
      "[AddItem(C:\\windows\\WinHlp32.exe,%d %n %x)]",
      "[AddItem(" + r + "\\a.exe,%s %% %d %n)]",
      "[AddItem(" + r + "\\a.exe,HH.EXE %s)]",
  };
  const ServerCase cases[] = {
      {RecordingServer::Answer::kAccept, "accepts"},
      {RecordingServer::Answer::kReject, "refuses every command"},
  };
  for (const ServerCase& c : cases) {
    SCOPED_TRACE(c.what);
    OnDesktopWithoutProgramManager([&] {
      RecordingServer server;
      server.answer = c.answer;
      server.Create();
      windows_.Create();
      StartProgramManagerConversation(windows_.options, LaunchInstalledSystem);
      ASSERT_TRUE(PumpUntil([&] { return windows_.Closed(); }, 20000));
      EXPECT_EQ(server.commands, expected);
      EXPECT_FALSE(server.overlapped) << "a command was sent before the previous one was answered";
      // Closing the installer ends the conversation for the server too.
      EXPECT_TRUE(PumpUntil([&] { return server.terminated; }, 5000));
      EXPECT_TRUE(WaitStarted());
    });
    EndStandins();
    DeleteFileA(StartedLog().c_str());
  }
}

// A group or item name beginning with ".." would put it beside the Program Manager's folder (Wine's
// service resolves it so); such a command is skipped and the list goes on with the next one.
TEST_F(ConversationTest, NamesLeavingTheProgramsFolderAreNotSent) {
  WriteDescription("[Command]\n"
                   "Command1=[CreateGroup(..\\..\\Kint)]\n"
                   "Command2=[CreateGroup(QuarnCAD)]\n"
                   "Command3=[AddItem(#\\QuarnWin32\\QuarnWin32.exe,..Kint)]\n"
                   "Command4=[AddItem(#\\QuarnWin32\\QuarnWin32.exe,QuarnCAD 9.20)]\n"
                   "Command5=[ShowGroup(...,1)]\n");
  const std::string r = rootFolder_;
  const std::vector<std::string> expected = {
      "[CreateGroup(QuarnCAD)]",
      "[AddItem(" + r + "\\QuarnWin32\\QuarnWin32.exe,QuarnCAD 9.20)]",
  };
  OnDesktopWithoutProgramManager([&] {
    RecordingServer server;
    server.answer = RecordingServer::Answer::kAccept;
    server.Create();
    windows_.Create();
    StartProgramManagerConversation(windows_.options, LaunchInstalledSystem);
    ASSERT_TRUE(PumpUntil([&] { return windows_.Closed(); }, 20000));
    EXPECT_EQ(server.commands, expected);
    EXPECT_TRUE(WaitStarted()) << "a skipped last command still ends the chain with the launch";
  });
  EndStandins();
  DeleteFileA(StartedLog().c_str());
}

TEST_F(ConversationTest, ServerThatStopsAnsweringEndsTheChain) {
  WriteDescription("[Command]\nCommand1=[CreateGroup(A)]\nCommand2=[CreateGroup(B)]\nCommand3=[CreateGroup(C)]\n");
  const ServerCase cases[] = {
      // Never answers: the time-out ends the chain; the second command was never sent.
      {RecordingServer::Answer::kNever, "never answers"},
      // Ends the conversation instead of answering the second command: nothing more can be sent, so
      // the chain ends at once (the time-out is far away here).
      {RecordingServer::Answer::kTerminateOnSecond, "ends the conversation"},
  };
  for (const ServerCase& c : cases) {
    SCOPED_TRACE(c.what);
    SetProgramManagerTimeoutForTesting(c.answer == RecordingServer::Answer::kNever ? 300 : 600000);
    OnDesktopWithoutProgramManager([&] {
      RecordingServer server;
      server.answer = c.answer;
      server.Create();
      windows_.Create();
      StartProgramManagerConversation(windows_.options, LaunchInstalledSystem);
      ASSERT_TRUE(PumpUntil([&] { return windows_.Closed(); }, 20000));
      const size_t sent = c.answer == RecordingServer::Answer::kNever ? 1 : 2;
      EXPECT_EQ(server.commands.size(), sent);
      EXPECT_TRUE(WaitStarted());
    });
    EndStandins();
    DeleteFileA(StartedLog().c_str());
  }
}

TEST_F(ConversationTest, SecondServerIsDismissed) {
  WriteDescription("[Command]\nCommand1=[CreateGroup(A)]\nCommand2=[CreateGroup(B)]\n");
  OnDesktopWithoutProgramManager([&] {
    // Two servers answer the broadcast: whichever answers first holds the conversation, the other one
    // is ended at once and never gets a command.
    RecordingServer one, two;
    one.Create();
    two.Create();
    windows_.Create();
    StartProgramManagerConversation(windows_.options, LaunchInstalledSystem);
    ASSERT_TRUE(PumpUntil([&] { return windows_.Closed(); }, 20000));
    RecordingServer& held = one.commands.empty() ? two : one;
    RecordingServer& dismissed = one.commands.empty() ? one : two;
    EXPECT_EQ(held.commands.size(), 2u);
    EXPECT_TRUE(dismissed.commands.empty());
    EXPECT_EQ(dismissed.client, held.client) << "both were asked";
    EXPECT_TRUE(PumpUntil([&] { return dismissed.terminated && held.terminated; }, 5000));
    EXPECT_TRUE(WaitStarted());
  });
}

}  // namespace
