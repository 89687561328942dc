// msglog.dll: a message recorder for the end-to-end tests. The UI driver installs its two hook
// procedures on the installer's window thread (driver command "hook"); Wine then loads this library into
// the installer and calls them there, for every message that thread handles. They append one line per
// message of interest sent to the web installation dialog (the dialog holding control 3202) to the file
// named by the installer's environment variable QUARN_MSGLOG:
//
//   <ms> settext <control id> <text as hex bytes, code page 1250>
//   <ms> pos <control id> <position>          progress bar PBM_SETPOS
//   <ms> clip <control id> <resource id>      animation ACM_OPEN (0: closed)
//   <ms> show <control id> <0|1>              WM_SHOWWINDOW
//   <ms> enable <control id> <0|1>            WM_ENABLE
//   <ms> command <id>                         a WM_COMMAND taken from the dialog's queue (posted)
//   <ms> init / <ms> destroy                  WM_INITDIALOG / WM_DESTROY of the dialog
//
// So a test sees every change in order, also those that last only a moment before the dialog closes.
// The recorder runs after the window procedure (WH_CALLWNDPROCRET), so a text is read back from the
// control with GetWindowTextA: the program's own code page 1250 bytes, whatever form the message had.
#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <cstring>
#include <string>

namespace {

constexpr int kFrameId = 3202;  // only the web installation dialog has it

HANDLE g_log = INVALID_HANDLE_VALUE;
bool g_opened = false;

void Write(const std::string& line) {
  if (!g_opened) {
    g_opened = true;
    char path[MAX_PATH] = "";
    DWORD n = GetEnvironmentVariableA("QUARN_MSGLOG", path, sizeof path);
    if (n > 0 && n < sizeof path) {
      g_log = CreateFileA(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                          nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    }
  }
  if (g_log == INVALID_HANDLE_VALUE) return;
  char stamp[32];
  snprintf(stamp, sizeof stamp, "%lu ", GetTickCount());
  std::string out = stamp + line + "\n";
  DWORD written = 0;
  WriteFile(g_log, out.data(), static_cast<DWORD>(out.size()), &written, nullptr);
}

HWND WebDialogOf(HWND window) {
  if (!window) return nullptr;
  HWND root = GetAncestor(window, GA_ROOT);
  return root && GetDlgItem(root, kFrameId) ? root : nullptr;
}

std::string Hex(const unsigned char* bytes, size_t n) {
  std::string out;
  char b[4];
  for (size_t i = 0; i < n; ++i) {
    snprintf(b, sizeof b, "%02x", bytes[i]);
    out += b;
  }
  return out.empty() ? "-" : out;
}

std::string TextOf(HWND window) {
  char buf[2048] = "";
  int n = GetWindowTextA(window, buf, sizeof buf);
  return Hex(reinterpret_cast<const unsigned char*>(buf), n > 0 ? static_cast<size_t>(n) : 0);
}

void Record(const char* what, HWND window, long long value) {
  char line[96];
  snprintf(line, sizeof line, "%s %d %lld", what, GetDlgCtrlID(window), value);
  Write(line);
}

}  // namespace

extern "C" __declspec(dllexport) LRESULT CALLBACK MsgLogCallWndProc(int code, WPARAM wp, LPARAM lp) {
  if (code == HC_ACTION) {
    const CWPRETSTRUCT* c = reinterpret_cast<const CWPRETSTRUCT*>(lp);
    HWND dialog = WebDialogOf(c->hwnd);
    if (dialog) {
      bool isDialog = c->hwnd == dialog;
      switch (c->message) {
        case WM_SETTEXT:
          if (!isDialog) {
            char line[16];
            snprintf(line, sizeof line, "settext %d ", GetDlgCtrlID(c->hwnd));
            Write(line + TextOf(c->hwnd));
          }
          break;
        case PBM_SETPOS:
          Record("pos", c->hwnd, static_cast<long long>(c->wParam));
          break;
        case ACM_OPENA:
        case ACM_OPENW:
          Record("clip", c->hwnd, IS_INTRESOURCE(c->lParam) ? static_cast<long long>(c->lParam) : -1);
          break;
        case WM_SHOWWINDOW:
          if (!isDialog) Record("show", c->hwnd, c->wParam ? 1 : 0);
          break;
        case WM_ENABLE:
          if (!isDialog) Record("enable", c->hwnd, c->wParam ? 1 : 0);
          break;
        case WM_INITDIALOG:
          if (isDialog) Write("init");
          break;
        case WM_DESTROY:
          if (isDialog) Write("destroy");
          break;
      }
    }
  }
  return CallNextHookEx(nullptr, code, wp, lp);
}

extern "C" __declspec(dllexport) LRESULT CALLBACK MsgLogGetMsgProc(int code, WPARAM wp, LPARAM lp) {
  if (code == HC_ACTION && wp == PM_REMOVE) {
    const MSG* m = reinterpret_cast<const MSG*>(lp);
    if (m->message == WM_COMMAND && m->hwnd && WebDialogOf(m->hwnd) == m->hwnd) {
      char line[32];
      snprintf(line, sizeof line, "command %u", static_cast<unsigned>(LOWORD(m->wParam)));
      Write(line);
    }
  }
  return CallNextHookEx(nullptr, code, wp, lp);
}
