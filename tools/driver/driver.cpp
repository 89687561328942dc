// driver.exe: drives the installer's windows from a test, in the same Wine prefix, like a user would.
//
// One command per invocation (`driver CMD ARGS...`), or many over stdin with `driver serve`: each input
// line is a command with tab-separated arguments; the answer lines end with "@@END <exit code>".
// Texts are UTF-8 on both sides; the installer's ANSI (code page 1250) texts are also shown as bytes.
//
// A window is named by a title substring, or "class=NAME" for an exact class, or "hwnd=0x...".
// A window may also be named "ctl=ID": a visible top-level window that has a control with that id.
// Every command, its arguments and what it does are in the table kCommands below; `driver help` prints it.
// Exit code 0 on success, 1 when not found / failed / timed out, 2 for a wrong command line, 3 in serve
// mode when the desktop this driver watches was closed (see DesktopClosed).
#include <windows.h>
#include <dde.h>
#include <objbase.h>
#include <shellapi.h>
#include <shlobj.h>

#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <string>
#include <vector>

#include "base/scoped_handle_win.h"

using Args = std::vector<std::wstring>;

static std::string U8(const std::wstring& w) {
  if (w.empty()) return "";
  int n = WideCharToMultiByte(CP_UTF8, 0, w.c_str(), -1, nullptr, 0, nullptr, nullptr);
  std::string s(n, '\0');
  WideCharToMultiByte(CP_UTF8, 0, w.c_str(), -1, &s[0], n, nullptr, nullptr);
  s.resize(n - 1);
  return s;
}
static std::wstring W(const std::string& s) {
  if (s.empty()) return L"";
  int n = MultiByteToWideChar(CP_UTF8, 0, s.c_str(), -1, nullptr, 0);
  std::wstring w(n, L'\0');
  MultiByteToWideChar(CP_UTF8, 0, s.c_str(), -1, &w[0], n);
  w.resize(n - 1);
  return w;
}
static std::string AnsiBytes(const char* a) {
  std::string out;
  for (const unsigned char* p = reinterpret_cast<const unsigned char*>(a); *p; ++p) {
    char x[8];
    snprintf(x, sizeof x, (*p < 0x80 && *p >= 0x20) ? "%c" : "<%02X>", *p);
    out += x;
  }
  return out;
}
static std::wstring WindowTextW(HWND h) {
  wchar_t t[2048] = L"";
  DWORD_PTR r = 0;
  SendMessageTimeoutW(h, WM_GETTEXT, 2048, reinterpret_cast<LPARAM>(t), SMTO_ABORTIFHUNG, 3000, &r);
  return t;
}
static std::wstring ClassOf(HWND h) {
  wchar_t c[256] = L"";
  GetClassNameW(h, c, 256);
  return c;
}

struct Finder {
  std::wstring spec;
  HWND found = nullptr;
};
static bool Matches(HWND h, const std::wstring& spec) {
  if (!IsWindowVisible(h)) return false;
  if (spec.rfind(L"class=", 0) == 0) return ClassOf(h) == spec.substr(6);
  if (spec.rfind(L"hwnd=", 0) == 0) return h == reinterpret_cast<HWND>(wcstoull(spec.c_str() + 5, nullptr, 16));
  if (spec.rfind(L"ctl=", 0) == 0) return GetDlgItem(h, _wtoi(spec.c_str() + 4)) != nullptr;
  wchar_t t[1024] = L"";
  GetWindowTextW(h, t, 1024);
  return wcsstr(t, spec.c_str()) != nullptr;
}
static BOOL CALLBACK FindTop(HWND h, LPARAM lp) {
  Finder* f = reinterpret_cast<Finder*>(lp);
  if (Matches(h, f->spec)) {
    f->found = h;
    return FALSE;
  }
  return TRUE;
}
static HWND FindNow(const std::wstring& spec) {
  if (spec.rfind(L"hwnd=", 0) == 0) {
    HWND h = reinterpret_cast<HWND>(wcstoull(spec.c_str() + 5, nullptr, 16));
    return IsWindow(h) ? h : nullptr;
  }
  Finder f;
  f.spec = spec;
  EnumWindows(FindTop, reinterpret_cast<LPARAM>(&f));
  return f.found;
}
// Wine closes a desktop a second after the last program on it (other than its own explorer) ends, and the
// next program gets a new desktop of the same name. This process would stay on the closed one and see no
// window at all. A closed desktop loses its name (no program can open it any more): each command (and each
// wait) first checks that this driver's desktop still has one, and the answer "DESKTOP CLOSED" (exit code
// 3) tells the test to start a new driver. Not checked after `desktop` moved this driver to a test's
// private desktop, which the test ends itself.
static bool g_onStartDesktop = true;
static bool g_desktopClosed = false;
static bool DesktopClosed() {
  if (g_onStartDesktop && !g_desktopClosed) {
    wchar_t name[256] = L"";
    DWORD needed = 0;
    if (!GetUserObjectInformationW(GetThreadDesktop(GetCurrentThreadId()), UOI_NAME, name, sizeof name, &needed) ||
        name[0] == L'\0')
      g_desktopClosed = true;
  }
  return g_desktopClosed;
}

static HWND WaitFor(const std::wstring& spec, DWORD ms) {
  DWORD t0 = GetTickCount();
  for (;;) {
    if (DesktopClosed()) return nullptr;
    HWND h = FindNow(spec);
    if (h || GetTickCount() - t0 >= ms) return h;
    Sleep(30);
  }
}
static DWORD Ms(const Args& a, size_t i, DWORD def) { return a.size() > i ? wcstoul(a[i].c_str(), nullptr, 10) : def; }

static BOOL CALLBACK ListTop(HWND h, LPARAM) {
  if (!IsWindowVisible(h)) return TRUE;
  DWORD pid = 0;
  GetWindowThreadProcessId(h, &pid);
  wchar_t t[1024] = L"";
  GetWindowTextW(h, t, 1024);
  printf("%p pid=%lu class=%s title=%s\n", (void*)h, pid, U8(ClassOf(h)).c_str(), U8(t).c_str());
  return TRUE;
}
static void PrintState(HWND c) {
  LRESULT chk = SendMessageW(c, BM_GETCHECK, 0, 0);
  printf("visible=%d enabled=%d checked=%d\n", IsWindowVisible(c) ? 1 : 0, IsWindowEnabled(c) ? 1 : 0, (int)chk);
}
static BOOL CALLBACK DumpChild(HWND h, LPARAM) {
  RECT r;
  GetWindowRect(h, &r);
  char a[1024] = "";
  GetWindowTextA(h, a, sizeof a);
  printf("id=%d class=%s vis=%d en=%d chk=%d rect=%ld,%ld,%ld,%ld style=%08lx text=%s ansi=%s\n", GetDlgCtrlID(h),
         U8(ClassOf(h)).c_str(), IsWindowVisible(h) ? 1 : 0, IsWindowEnabled(h) ? 1 : 0,
         (int)SendMessageW(h, BM_GETCHECK, 0, 0), r.left, r.top, r.right, r.bottom,
         (unsigned long)GetWindowLongW(h, GWL_STYLE), U8(WindowTextW(h)).c_str(), AnsiBytes(a).c_str());
  return TRUE;
}

// A message box: a #32770 window whose title or text matches; its text is the static with id 0xFFFF.
struct BoxFinder {
  std::wstring spec;
  HWND found = nullptr;
};
static BOOL CALLBACK FindBox(HWND h, LPARAM lp) {
  BoxFinder* f = reinterpret_cast<BoxFinder*>(lp);
  if (!IsWindowVisible(h) || ClassOf(h) != L"#32770") return TRUE;
  wchar_t t[1024] = L"";
  GetWindowTextW(h, t, 1024);
  HWND s = GetDlgItem(h, 0xFFFF);
  std::wstring body = s ? WindowTextW(s) : L"";
  if (!s) return TRUE;  // a dialog, not a message box
  if (f->spec == L"*" || wcsstr(t, f->spec.c_str()) || body.find(f->spec) != std::wstring::npos) {
    f->found = h;
    return FALSE;
  }
  return TRUE;
}

// Reads a shell link file the way the shell does and prints its fields.
static int ReadLink(const std::wstring& path) {
  if (FAILED(CoInitialize(nullptr))) return 1;
  int rc = 1;
  IShellLinkW* link = nullptr;
  if (SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                 reinterpret_cast<void**>(&link)))) {
    IPersistFile* file = nullptr;
    if (SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)))) {
      if (SUCCEEDED(file->Load(path.c_str(), STGM_READ))) {
        wchar_t buf[MAX_PATH] = L"";
        int index = -1;
        link->GetPath(buf, MAX_PATH, nullptr, SLGP_RAWPATH);
        printf("path=%s\n", U8(buf).c_str());
        buf[0] = 0;
        link->GetDescription(buf, MAX_PATH);
        printf("description=%s\n", U8(buf).c_str());
        buf[0] = 0;
        link->GetWorkingDirectory(buf, MAX_PATH);
        printf("workdir=%s\n", U8(buf).c_str());
        buf[0] = 0;
        link->GetIconLocation(buf, MAX_PATH, &index);
        printf("icon=%s\nindex=%d\n", U8(buf).c_str(), index);
        buf[0] = 0;
        link->GetArguments(buf, MAX_PATH);
        printf("args=%s\n", U8(buf).c_str());
        rc = 0;
      }
      file->Release();
    }
    link->Release();
  }
  CoUninitialize();
  return rc;
}

static HHOOK g_hooks[2];
static void Unhook() {
  for (HHOOK& h : g_hooks) {
    if (h) UnhookWindowsHookEx(h);
    h = nullptr;
  }
}

// ---- desktops and the Program Manager service (tests of a machine without that service) ----
static HDESK OpenOrCreateDesktop(const std::wstring& name) {
  HDESK d = OpenDesktopW(name.c_str(), 0, FALSE, GENERIC_ALL);
  if (!d) d = CreateDesktopW(name.c_str(), nullptr, nullptr, 0, GENERIC_ALL, nullptr);
  return d;
}
struct ClassCount {
  std::wstring cls;
  std::vector<HWND> found;
};
static BOOL CALLBACK CollectClass(HWND h, LPARAM lp) {
  ClassCount* c = reinterpret_cast<ClassCount*>(lp);
  if (ClassOf(h) == c->cls) c->found.push_back(h);
  return TRUE;
}
static std::vector<HWND> WindowsOfClass(const std::wstring& cls) {
  ClassCount c;
  c.cls = cls;
  EnumWindows(CollectClass, reinterpret_cast<LPARAM>(&c));
  return c.found;
}
static int g_progmanAnswers = 0;
static LRESULT CALLBACK ProbeProc(HWND h, UINT m, WPARAM w, LPARAM l) {
  if (m == WM_DDE_ACK) {  // the answer to our initiation: count it, end that conversation, free the atoms
    ++g_progmanAnswers;
    if (LOWORD(l)) GlobalDeleteAtom(LOWORD(l));
    if (HIWORD(l)) GlobalDeleteAtom(HIWORD(l));
    PostMessageW(reinterpret_cast<HWND>(w), WM_DDE_TERMINATE, reinterpret_cast<WPARAM>(h), 0);
    return 0;
  }
  return DefWindowProcW(h, m, w, l);
}
static int ProbeProgman() {
  static HWND probe = nullptr;
  if (!probe) {
    WNDCLASSW wc = {};
    wc.lpfnWndProc = ProbeProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"QuarnDriverDdeProbe";
    RegisterClassW(&wc);
    probe = CreateWindowW(L"QuarnDriverDdeProbe", L"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr,
                          GetModuleHandleW(nullptr), nullptr);
  }
  g_progmanAnswers = 0;
  ATOM service = GlobalAddAtomW(L"PROGMAN"), topic = GlobalAddAtomW(L"PROGMAN");
  DWORD_PTR r = 0;
  SendMessageTimeoutW(HWND_BROADCAST, WM_DDE_INITIATE, reinterpret_cast<WPARAM>(probe),
                      MAKELPARAM(service, topic), SMTO_ABORTIFHUNG, 2000, &r);
  GlobalDeleteAtom(service);
  GlobalDeleteAtom(topic);
  printf("answers=%d\n", g_progmanAnswers);
  return 0;
}

// The image name of a process (its last path part), or "" when it cannot be read.
static std::wstring ImageNameOf(DWORD pid) {
  ScopedKernelHandle p(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid));
  if (!p) return L"";
  wchar_t path[MAX_PATH * 2] = L"";
  DWORD size = MAX_PATH * 2;
  std::wstring name;
  if (QueryFullProcessImageNameW(p.get(), 0, path, &size)) {
    name = path;
    const size_t cut = name.find_last_of(L"\\/");
    if (cut != std::wstring::npos) name = name.substr(cut + 1);
  }
  return name;
}

struct WatchState {
  std::wstring exe;
  std::vector<HWND> seen;
};

static BOOL CALLBACK WatchTop(HWND h, LPARAM param) {
  WatchState* w = reinterpret_cast<WatchState*>(param);
  if (!IsWindowVisible(h)) return TRUE;
  for (HWND s : w->seen) {
    if (s == h) return TRUE;
  }
  DWORD pid = 0;
  GetWindowThreadProcessId(h, &pid);
  if (_wcsicmp(ImageNameOf(pid).c_str(), w->exe.c_str()) != 0) return TRUE;
  w->seen.push_back(h);
  wchar_t t[1024] = L"";
  GetWindowTextW(h, t, 1024);
  printf("seen %p pid=%lu class=%s title=%s\n", (void*)h, pid, U8(ClassOf(h)).c_str(), U8(t).c_str());
  fflush(stdout);
  return TRUE;
}

static int Watch(const std::wstring& exe, const std::wstring& stopFile) {
  WatchState w;
  w.exe = exe;
  printf("watching\n");
  fflush(stdout);
  long rounds = 0;
  while (GetFileAttributesW(stopFile.c_str()) == INVALID_FILE_ATTRIBUTES) {
    EnumWindows(WatchTop, reinterpret_cast<LPARAM>(&w));
    ++rounds;
    Sleep(5);
  }
  EnumWindows(WatchTop, reinterpret_cast<LPARAM>(&w));
  printf("rounds=%ld\n", rounds + 1);
  return 0;
}

namespace {

// ---- the commands ----
// A handler gets the command's arguments (a[0] is the command's name) and, for commands on a window or
// a control, the window found from a[1] and the control a[2] names (the window itself when it names none).
struct Call {
  const Args& a;
  HWND top;
  HWND ctl;
};
using Handler = int (*)(const Call&);

// What a command works on: the driver finds it before the handler runs and fails with "NOT FOUND".
enum class Target {
  kNone,            // nothing: the handler reads its own arguments
  kWindow,          // WIN (a[1]), waited for up to 3 s
  kWindowOrControl, // WIN and, if given, control ID (a[2]) inside it
  kControl,         // WIN and control ID (a[2]); WIN waited for up to 1 s (the wait commands) or 3 s
};

struct Command {
  const wchar_t* name;
  size_t minArgs;  // arguments after the name
  Target target;
  Handler run;
  const char* usage;
  const char* help;
};

int CmdList(const Call&) {
  EnumWindows(ListTop, 0);
  return 0;
}
int CmdUnhook(const Call&) {
  Unhook();
  printf("unhooked\n");
  return 0;
}
int CmdProgman(const Call&) { return ProbeProgman(); }
int CmdMetric(const Call& c) {
  printf("%d\n", GetSystemMetrics(_wtoi(c.a[1].c_str())));
  return 0;
}
int CmdLink(const Call& c) { return ReadLink(c.a[1]); }
int CmdDesktop(const Call& c) {
  HDESK d = OpenOrCreateDesktop(c.a[1]);
  if (!d || !SetThreadDesktop(d)) {
    printf("desktop failed: %lu\n", GetLastError());
    return 1;
  }
  g_onStartDesktop = false;
  printf("desktop=%s\n", U8(c.a[1]).c_str());
  return 0;
}
int CmdRunOn(const Call& c) {
  HDESK d = OpenOrCreateDesktop(c.a[1]);
  if (!d) return 1;
  std::wstring line;
  for (size_t i = 2; i < c.a.size(); ++i) line += (i > 2 ? L" \"" : L"\"") + c.a[i] + L"\"";
  std::wstring name = c.a[1];
  STARTUPINFOW si = {};
  si.cb = sizeof si;
  si.lpDesktop = &name[0];
  PROCESS_INFORMATION pi = {};
  if (!CreateProcessW(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return 1;
  ScopedKernelHandle thread(pi.hThread);
  ScopedKernelHandle process(pi.hProcess);
  WaitForSingleObject(process.get(), INFINITE);
  DWORD code = 1;
  GetExitCodeProcess(process.get(), &code);
  return static_cast<int>(code);
}
int CmdCloseAll(const Call& c) {
  DWORD t0 = GetTickCount(), ms = Ms(c.a, 2, 10000);
  while (WindowsOfClass(c.a[1]).empty() && GetTickCount() - t0 < ms) Sleep(30);
  int closed = 0;
  for (HWND h : WindowsOfClass(c.a[1])) {
    PostMessageW(h, WM_CLOSE, 0, 0);
    ++closed;
  }
  while (!WindowsOfClass(c.a[1]).empty() && GetTickCount() - t0 < ms + 10000) Sleep(30);
  const bool gone = WindowsOfClass(c.a[1]).empty();
  printf("closed=%d%s\n", closed, gone ? "" : " STILL THERE");
  return closed > 0 && gone ? 0 : 1;
}
// `keep N`: holds the desktop open for a test module. Wine closes a desktop a second after it believes
// only its explorer is left on it, counting the threads on the desktop against the explorer's own; once
// the explorer runs a thread that is not on the desktop (e.g. after opening a folder window), one other
// program's thread no longer tips the count, and the desktop closes under it. N threads, each with a
// hidden window that refuses WM_CLOSE, keep the count above any explorer. Ends when killed.
static LRESULT CALLBACK KeeperProc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_CLOSE) return 0;
  return DefWindowProcW(h, msg, wp, lp);
}
static DWORD WINAPI KeeperThread(void*) {
  HWND h = CreateWindowExW(0, L"QuarnDesktopKeeper", L"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                           GetModuleHandleW(nullptr), nullptr);
  if (!h) return 1;
  MSG m;
  while (GetMessageW(&m, nullptr, 0, 0) > 0) DispatchMessageW(&m);
  return 0;
}
int CmdKeep(const Call& c) {
  WNDCLASSW wc = {};
  wc.lpfnWndProc = KeeperProc;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.lpszClassName = L"QuarnDesktopKeeper";
  RegisterClassW(&wc);
  const int n = _wtoi(c.a[1].c_str());
  for (int i = 0; i < n; ++i) {
    ScopedKernelHandle t(CreateThread(nullptr, 0, KeeperThread, nullptr, 0, nullptr));
  }
  printf("keeping the desktop with %d threads\n", n);
  fflush(stdout);
  KeeperThread(nullptr);
  return 0;
}
int CmdWait(const Call& c) {
  HWND h = WaitFor(c.a[1], Ms(c.a, 2, 10000));
  printf("%s %p\n", h ? "found" : "NOT FOUND", (void*)h);
  return h ? 0 : 1;
}
int CmdGone(const Call& c) {
  DWORD t0 = GetTickCount(), ms = Ms(c.a, 2, 10000);
  while (FindNow(c.a[1]) && GetTickCount() - t0 < ms) Sleep(30);
  bool gone = !FindNow(c.a[1]);
  printf("%s\n", gone ? "gone" : "STILL THERE");
  return gone ? 0 : 1;
}

// The answer of a message box: the button id, or 0 for an unknown word.
int AnswerId(const std::wstring& answer) {
  static const struct {
    const wchar_t* word;
    int id;
  } kAnswers[] = {{L"ok", IDOK},     {L"cancel", IDCANCEL}, {L"yes", IDYES},      {L"no", IDNO},
                  {L"abort", IDABORT}, {L"retry", IDRETRY},  {L"ignore", IDIGNORE}};
  for (const auto& a : kAnswers) {
    if (answer == a.word) return a.id;
  }
  return 0;
}
void PrintBox(HWND h) {
  char cap[512] = "", body[2048] = "";
  GetWindowTextA(h, cap, sizeof cap);
  GetDlgItemTextA(h, 0xFFFF, body, sizeof body);
  wchar_t wcap[512] = L"";
  GetWindowTextW(h, wcap, 512);
  printf("caption=%s\ncaption_ansi=%s\ntext=%s\ntext_ansi=%s\n", U8(wcap).c_str(), AnsiBytes(cap).c_str(),
         U8(WindowTextW(GetDlgItem(h, 0xFFFF))).c_str(), AnsiBytes(body).c_str());
  printf("owner=%p\n", (void*)GetWindow(h, GW_OWNER));
  const int buttons[] = {IDOK, IDCANCEL, IDABORT, IDRETRY, IDIGNORE, IDYES, IDNO};
  std::string present;
  for (int id : buttons)
    if (GetDlgItem(h, id)) present += std::to_string(id) + " ";
  printf("buttons=%s\n", present.c_str());
}
int CmdMsgBox(const Call& c) {
  DWORD t0 = GetTickCount(), ms = Ms(c.a, 3, 10000);
  BoxFinder f;
  f.spec = c.a[1];
  for (;;) {
    EnumWindows(FindBox, reinterpret_cast<LPARAM>(&f));
    if (f.found || GetTickCount() - t0 >= ms) break;
    Sleep(30);
  }
  if (!f.found) {
    printf("msgbox NOT FOUND\n");
    return 1;
  }
  HWND h = f.found;
  PrintBox(h);
  std::wstring ans = c.a.size() > 2 ? c.a[2] : L"ok";
  if (ans == L"none") return 0;
  const int id = AnswerId(ans);
  HWND b = id ? GetDlgItem(h, id) : nullptr;
  if (!b) {
    printf("button %d not present\n", id);
    return 1;
  }
  PostMessageW(h, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(b));
  DWORD t1 = GetTickCount();
  while (IsWindow(h) && IsWindowVisible(h) && GetTickCount() - t1 < 10000) Sleep(20);
  printf("answered=%d\n", id);
  return IsWindow(h) && IsWindowVisible(h) ? 1 : 0;
}

int CmdDump(const Call& c) {
  wchar_t t[1024] = L"";
  GetWindowTextW(c.top, t, 1024);
  printf("%p class=%s title=%s\n", (void*)c.top, U8(ClassOf(c.top)).c_str(), U8(t).c_str());
  EnumChildWindows(c.top, DumpChild, 0);
  return 0;
}
int CmdRect(const Call& c) {
  RECT r;
  GetWindowRect(c.top, &r);
  printf("%ld %ld %ld %ld\n", r.left, r.top, r.right, r.bottom);
  return 0;
}
int CmdClient(const Call& c) {
  RECT r;
  GetClientRect(c.top, &r);
  MapWindowPoints(c.top, nullptr, reinterpret_cast<POINT*>(&r), 2);
  printf("%ld %ld %ld %ld\n", r.left, r.top, r.right, r.bottom);
  return 0;
}
int CmdMove(const Call& c) {
  BOOL ok = SetWindowPos(c.top, nullptr, _wtoi(c.a[2].c_str()), _wtoi(c.a[3].c_str()), 0, 0,
                         SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  printf("%s\n", ok ? "moved" : "NOT MOVED");
  return ok ? 0 : 1;
}
int CmdRedraw(const Call& c) {
  BOOL ok = RedrawWindow(c.top, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME);
  printf("%s\n", ok ? "invalidated" : "FAILED");
  return ok ? 0 : 1;
}
int CmdPid(const Call& c) {
  DWORD pid = 0;
  GetWindowThreadProcessId(c.top, &pid);
  printf("pid=%lu\n", pid);
  return 0;
}
int CmdClose(const Call& c) {
  PostMessageW(c.top, WM_SYSCOMMAND, SC_CLOSE, 0);
  return 0;
}
int CmdHook(const Call& c) {
  Unhook();
  HMODULE dll = LoadLibraryW(c.a[2].c_str());
  if (!dll) {
    printf("cannot load %s (error %lu)\n", U8(c.a[2]).c_str(), GetLastError());
    return 1;
  }
  auto callWnd = reinterpret_cast<HOOKPROC>(GetProcAddress(dll, "MsgLogCallWndProc"));
  auto getMsg = reinterpret_cast<HOOKPROC>(GetProcAddress(dll, "MsgLogGetMsgProc"));
  DWORD thread = GetWindowThreadProcessId(c.top, nullptr);
  if (callWnd && getMsg) {
    g_hooks[0] = SetWindowsHookExW(WH_CALLWNDPROCRET, callWnd, dll, thread);
    g_hooks[1] = SetWindowsHookExW(WH_GETMESSAGE, getMsg, dll, thread);
  }
  bool ok = g_hooks[0] && g_hooks[1];
  if (!ok) Unhook();
  printf("%s thread=%lu\n", ok ? "hooked" : "HOOK FAILED", thread);
  return ok ? 0 : 1;
}
int CmdSend(const Call& c) {
  UINT msg = static_cast<UINT>(wcstoul(c.a[3].c_str(), nullptr, 0));
  WPARAM wp = c.a.size() > 4 ? static_cast<WPARAM>(wcstoull(c.a[4].c_str(), nullptr, 0)) : 0;
  LPARAM lp = c.a.size() > 5 ? static_cast<LPARAM>(wcstoll(c.a[5].c_str(), nullptr, 0)) : 0;
  DWORD_PTR r = 0;
  if (!SendMessageTimeoutW(c.ctl, msg, wp, lp, SMTO_ABORTIFHUNG, 5000, &r)) {
    printf("send TIMED OUT\n");
    return 1;
  }
  printf("result=%lld\n", static_cast<long long>(r));
  return 0;
}
int CmdText(const Call& c) {
  char t[2048] = "";
  GetWindowTextA(c.ctl, t, sizeof t);
  printf("text=%s\nansi=%s\n", U8(WindowTextW(c.ctl)).c_str(), AnsiBytes(t).c_str());
  return 0;
}
int CmdWaitText(const Call& c) {
  DWORD t0 = GetTickCount(), ms = Ms(c.a, 4, 10000);
  std::wstring t;
  for (;;) {
    t = WindowTextW(c.ctl);
    if (t.find(c.a[3]) != std::wstring::npos || GetTickCount() - t0 >= ms) break;
    Sleep(20);
  }
  bool ok = t.find(c.a[3]) != std::wstring::npos;
  printf("%s text=%s\n", ok ? "found" : "NOT FOUND", U8(t).c_str());
  return ok ? 0 : 1;
}
int CmdState(const Call& c) {
  PrintState(c.ctl);
  return 0;
}

// Whether a control's state matches every "KEY=V" of a comma-separated list (keys visible, enabled,
// checked).
bool StateMatches(HWND ctl, const std::wstring& conditions) {
  const int vis = IsWindowVisible(ctl) ? 1 : 0, en = IsWindowEnabled(ctl) ? 1 : 0;
  const int chk = (int)SendMessageW(ctl, BM_GETCHECK, 0, 0);
  size_t pos = 0;
  while (pos <= conditions.size()) {
    size_t comma = conditions.find(L',', pos);
    std::wstring c = conditions.substr(pos, comma == std::wstring::npos ? std::wstring::npos : comma - pos);
    size_t eq = c.find(L'=');
    if (eq != std::wstring::npos) {
      std::wstring k = c.substr(0, eq);
      int have = k == L"visible" ? vis : k == L"enabled" ? en : chk;
      if (have != _wtoi(c.c_str() + eq + 1)) return false;
    }
    if (comma == std::wstring::npos) break;
    pos = comma + 1;
  }
  return true;
}
int CmdWaitState(const Call& c) {
  DWORD t0 = GetTickCount(), ms = Ms(c.a, 4, 10000);
  for (;;) {
    if (StateMatches(c.ctl, c.a[3])) {
      PrintState(c.ctl);
      return 0;
    }
    if (GetTickCount() - t0 >= ms) {
      printf("TIMEOUT ");
      PrintState(c.ctl);
      return 1;
    }
    Sleep(20);
  }
}
int CmdClick(const Call& c) {
  std::wstring how = c.a.size() > 3 ? c.a[3] : L"post";
  if (how == L"send") {
    SendMessageW(c.ctl, BM_CLICK, 0, 0);
  } else if (how == L"cmd") {
    PostMessageW(c.top, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(c.ctl), BN_CLICKED), reinterpret_cast<LPARAM>(c.ctl));
  } else {
    PostMessageW(c.ctl, BM_CLICK, 0, 0);
  }
  printf("clicked\n");
  return 0;
}
int CmdSetText(const Call& c) {
  SendMessageW(c.ctl, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(c.a[3].c_str()));
  printf("set\n");
  return 0;
}
int CmdSetTextNoWait(const Call& c) {
  DWORD_PTR r = 0;
  SendMessageTimeoutW(c.ctl, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(c.a[3].c_str()), SMTO_NORMAL, 500, &r);
  printf("set\n");
  return 0;
}
int CmdType(const Call& c) {
  for (wchar_t ch : c.a[3]) PostMessageW(c.ctl, WM_CHAR, ch, 1);
  printf("typed\n");
  return 0;
}
void PostKey(HWND to, const std::wstring& vkText) {
  UINT vk = static_cast<UINT>(_wtoi(vkText.c_str()));
  PostMessageW(to, WM_KEYDOWN, vk, 1);
  PostMessageW(to, WM_KEYUP, vk, 0xC0000001);
  printf("key\n");
}
int CmdKey(const Call& c) {
  PostKey(c.top, c.a[2]);
  return 0;
}
int CmdKeyTo(const Call& c) {
  PostKey(c.ctl, c.a[3]);
  return 0;
}
bool IsListBox(HWND ctl) { return _wcsicmp(ClassOf(ctl).c_str(), L"ListBox") == 0; }
int CmdSelect(const Call& c) {
  bool lb = IsListBox(c.ctl);
  SendMessageW(c.ctl, lb ? LB_SETCURSEL : CB_SETCURSEL, _wtoi(c.a[3].c_str()), 0);
  SendMessageW(c.top, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(c.ctl), lb ? LBN_SELCHANGE : CBN_SELCHANGE),
               reinterpret_cast<LPARAM>(c.ctl));
  printf("selected\n");
  return 0;
}
int CmdItems(const Call& c) {
  bool lb = IsListBox(c.ctl);
  int n = (int)SendMessageW(c.ctl, lb ? LB_GETCOUNT : CB_GETCOUNT, 0, 0);
  for (int i = 0; i < n; ++i) {
    wchar_t t[1024] = L"";
    SendMessageW(c.ctl, lb ? LB_GETTEXT : CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(t));
    printf("%d %s\n", i, U8(t).c_str());
  }
  return 0;
}
int CmdWatch(const Call& c) { return Watch(c.a[1], c.a[2]); }
int CmdHelp(const Call&);

const Command kCommands[] = {
    {L"help", 0, Target::kNone, CmdHelp, "", "this list"},
    {L"list", 0, Target::kNone, CmdList, "", "visible top-level windows: hwnd pid class title"},
    {L"wait", 1, Target::kNone, CmdWait, "WIN [ms]", "until a visible top-level window matches"},
    {L"keep", 1, Target::kNone, CmdKeep, "N", "holds the desktop open with N threads until killed (not for serve)"},
    {L"gone", 1, Target::kNone, CmdGone, "WIN [ms]", "until no visible top-level window matches"},
    {L"dump", 1, Target::kWindow, CmdDump, "WIN", "child controls: id class vis en chk rect style text ansi"},
    {L"rect", 1, Target::kWindow, CmdRect, "WIN", "window rect: left top right bottom"},
    {L"client", 1, Target::kWindow, CmdClient, "WIN", "client area in screen coordinates: left top right bottom"},
    {L"text", 1, Target::kWindowOrControl, CmdText, "WIN [ID]",
     "window/control text: \"text=<utf8>\" and \"ansi=<bytes, <XX> hex>\""},
    {L"waittext", 3, Target::kControl, CmdWaitText, "WIN ID SUBSTR [ms]", "until the control's text contains SUBSTR"},
    {L"state", 2, Target::kControl, CmdState, "WIN ID", "\"visible=0|1 enabled=0|1 checked=0|1|2\""},
    {L"waitstate", 3, Target::kControl, CmdWaitState, "WIN ID KEY=V[,KEY=V] [ms]",
     "until the state matches, e.g. enabled=1,visible=1"},
    {L"click", 2, Target::kControl, CmdClick, "WIN ID [post|cmd|send]",
     "post BM_CLICK (default), post WM_COMMAND, or send BM_CLICK"},
    {L"settext", 3, Target::kControl, CmdSetText, "WIN ID TEXT", "WM_SETTEXT (runs EN_CHANGE like a program change)"},
    {L"settextnowait", 3, Target::kControl, CmdSetTextNoWait, "WIN ID TEXT",
     "as settext, but returns after at most 500 ms: for a change that opens a message box"},
    {L"type", 3, Target::kControl, CmdType, "WIN ID TEXT", "posts WM_CHAR per character (caret moves like typing)"},
    {L"key", 2, Target::kWindow, CmdKey, "WIN VK",
     "posts WM_KEYDOWN/WM_KEYUP of a virtual key (e.g. 27 = Esc) to the window"},
    {L"keyto", 3, Target::kControl, CmdKeyTo, "WIN ID VK",
     "posts WM_KEYDOWN/WM_KEYUP of a virtual key to one control (e.g. 35 = End)"},
    {L"close", 1, Target::kWindow, CmdClose, "WIN", "posts WM_SYSCOMMAND SC_CLOSE (the close box)"},
    {L"select", 3, Target::kControl, CmdSelect, "WIN ID INDEX", "combo/list selection + the parent's change notification"},
    {L"items", 2, Target::kControl, CmdItems, "WIN ID", "items of a combo box or list box"},
    {L"metric", 1, Target::kNone, CmdMetric, "N", "GetSystemMetrics(N), e.g. 0 SM_CXSCREEN, 8 SM_CYDLGFRAME"},
    {L"move", 3, Target::kWindow, CmdMove, "WIN X Y", "moves the window (size kept) without activating it"},
    {L"redraw", 1, Target::kWindow, CmdRedraw, "WIN", "invalidates the whole window (it repaints from its own loop)"},
    {L"pid", 1, Target::kWindow, CmdPid, "WIN", "the process id owning the window"},
    {L"msgbox", 1, Target::kNone, CmdMsgBox, "WIN [ANSWER [ms]]",
     "waits for a message box (#32770 matching WIN, * for any), prints its caption, text, owner and buttons, "
     "answers ok|cancel|yes|no|abort|retry|ignore|none"},
    {L"link", 1, Target::kNone, CmdLink, "PATH",
     "reads a shell link file through the shell link object: path=, description=, workdir=, icon=, index=, args="},
    {L"send", 3, Target::kControl, CmdSend, "WIN ID MSG [WPARAM [LPARAM]]",
     "SendMessage to a control (numbers), prints \"result=N\""},
    {L"hook", 2, Target::kWindow, CmdHook, "WIN DLL",
     "installs msglog.dll's recorders on the window's thread; they stay while this driver runs (or until unhook)"},
    {L"unhook", 0, Target::kNone, CmdUnhook, "", "removes them"},
    {L"desktop", 1, Target::kNone, CmdDesktop, "NAME",
     "moves this driver to desktop NAME (created if needed); only before the driver has a window of its own"},
    {L"runon", 2, Target::kNone, CmdRunOn, "NAME EXE [ARGS...]",
     "starts EXE on desktop NAME, waits for it to end and exits with its exit code (not for serve)"},
    {L"closeall", 1, Target::kNone, CmdCloseAll, "CLASS [ms]",
     "waits up to ms (10000) for a top-level window of that class, closes every one, waits until none is left"},
    {L"watch", 2, Target::kNone, CmdWatch, "EXE STOPFILE",
     "prints \"watching\", then every 5 ms until STOPFILE exists: each visible top-level window (once) whose "
     "process runs a program named EXE, as \"seen hwnd pid class title\"; then \"rounds=N\""},
    {L"progman", 0, Target::kNone, CmdProgman, "",
     "broadcasts a DDE initiation for PROGMAN, ends every conversation that answers, prints \"answers=N\""},
};

int CmdHelp(const Call&) {
  printf("driver CMD ARGS...   or   driver serve (one tab-separated command per input line)\n");
  printf("WIN: a title substring, class=NAME, hwnd=0x..., or ctl=ID (a window with that control)\n");
  for (const Command& c : kCommands) printf("  %-14s %-28s %s\n", U8(c.name).c_str(), c.usage, c.help);
  return 0;
}

// Finds the window (and control) a command works on; prints why and returns false when it is not there.
bool FindTarget(const Command& command, const Args& a, Call* call) {
  if (command.target == Target::kNone) return true;
  const bool waitCommand = command.target == Target::kControl && a[0].rfind(L"wait", 0) == 0;
  HWND top = WaitFor(a[1], waitCommand ? 1000 : 3000);
  if (!top) {
    printf("window NOT FOUND\n");
    return false;
  }
  HWND ctl = top;
  if (command.target != Target::kWindow && a.size() > 2) {
    ctl = GetDlgItem(top, _wtoi(a[2].c_str()));
    if (!ctl) {
      printf("control %ls NOT FOUND\n", a[2].c_str());
      return false;
    }
  }
  call->top = top;
  call->ctl = ctl;
  return true;
}

int Run(const Args& a) {
  if (a.empty()) return 2;
  for (const Command& command : kCommands) {
    if (a[0] != command.name) continue;
    if (a.size() - 1 < command.minArgs) {
      printf("usage: %s %s\n", U8(command.name).c_str(), command.usage);
      return 2;
    }
    Call call{a, nullptr, nullptr};
    if (!FindTarget(command, a, &call)) return 1;
    return command.run(call);
  }
  printf("unknown command %s (driver help lists them)\n", U8(a[0]).c_str());
  return 2;
}
}  // namespace

int main() {
  int argc = 0;
  wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
  Args args(argv + 1, argv + argc);
  if (!args.empty() && args[0] == L"serve") {
    char line[8192];
    while (fgets(line, sizeof line, stdin)) {
      std::string s(line);
      while (!s.empty() && (s.back() == '\n' || s.back() == '\r')) s.pop_back();
      Args cmd;
      size_t pos = 0;
      for (;;) {
        size_t tab = s.find('\t', pos);
        cmd.push_back(W(s.substr(pos, tab == std::string::npos ? std::string::npos : tab - pos)));
        if (tab == std::string::npos) break;
        pos = tab + 1;
      }
      if (cmd.size() == 1 && cmd[0] == L"quit") break;
      int rc = DesktopClosed() ? 3 : Run(cmd);
      if (DesktopClosed()) {
        printf("DESKTOP CLOSED\n");
        rc = 3;
      }
      printf("@@END %d\n", rc);
      fflush(stdout);
    }
    return 0;
  }
  int rc = Run(args);
  fflush(stdout);
  return rc;
}
