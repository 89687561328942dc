// QuarnWin32.exe stand-in: what the sample set installs as "the QuarnCAD system". It records every start
// in started.log beside itself (time and command line, one CR LF line each) and shows a window that says
// it runs, with the command line. With "/exit" anywhere on its command line it only records and ends,
// which lets tests start it without a window to close.
#include <windows.h>

#include <cstdio>
#include <cstring>

#include "base/scoped_handle_win.h"

namespace {

const char kClassName[] = "QuarnWin32Standin";
const char kTitle[] = "QuarnCAD 9.20 Demo";
// "A QuarnCAD 9.20 bemutató változata fut."
const char kRunning[] = "A QuarnCAD 9.20 bemutat\xf3 v\xe1ltozata fut.";

char g_commandLine[1024];

// Appends "YYYY-MM-DD HH:MM:SS<TAB>command line" to started.log in the program's folder.
void RecordStart() {
  char path[MAX_PATH + 16];
  const DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return;
  char* slash = strrchr(path, '\\');
  if (!slash) return;
  strcpy(slash + 1, "started.log");
  ScopedFile file(CreateFileA(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return;
  SYSTEMTIME t;
  GetLocalTime(&t);
  char line[1200];
  const int len = snprintf(line, sizeof line, "%04u-%02u-%02u %02u:%02u:%02u\t%s\r\n", t.wYear, t.wMonth, t.wDay,
                           t.wHour, t.wMinute, t.wSecond, g_commandLine);
  DWORD written = 0;
  if (len > 0) WriteFile(file.get(), line, static_cast<DWORD>(len < static_cast<int>(sizeof line) ? len : sizeof line - 1), &written, nullptr);
}

void OnPaint(HWND window) {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(window, &ps);
  RECT r;
  GetClientRect(window, &r);
  r.left += 16;
  r.top += 16;
  SetBkMode(dc, TRANSPARENT);
  HGDIOBJ old = SelectObject(dc, GetStockObject(DEFAULT_GUI_FONT));
  DrawTextA(dc, kRunning, -1, &r, DT_LEFT | DT_TOP | DT_SINGLELINE | DT_NOPREFIX);
  r.top += 28;
  DrawTextA(dc, g_commandLine, -1, &r, DT_LEFT | DT_TOP | DT_WORDBREAK | DT_NOPREFIX);
  SelectObject(dc, old);
  EndPaint(window, &ps);
}

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_PAINT:
      OnPaint(window);
      return 0;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    default:
      return DefWindowProcA(window, message, wParam, lParam);
  }
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int show) {
  snprintf(g_commandLine, sizeof g_commandLine, "%s", GetCommandLineA());
  RecordStart();
  if (strstr(g_commandLine, "/exit")) return 0;

  WNDCLASSA wc = {};
  wc.lpfnWndProc = WindowProc;
  wc.hInstance = instance;
  wc.hIcon = LoadIconA(instance, MAKEINTRESOURCEA(1));
  wc.hCursor = LoadCursorA(nullptr, MAKEINTRESOURCEA(32512));  // IDC_ARROW
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  wc.lpszClassName = kClassName;
  if (!RegisterClassA(&wc)) return 1;
  HWND window = CreateWindowExA(0, kClassName, kTitle, WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT, 480, 200,
                                nullptr, nullptr, instance, nullptr);
  if (!window) return 1;
  ShowWindow(window, show);
  UpdateWindow(window);
  MSG msg;
  while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  return static_cast<int>(msg.wParam);
}
