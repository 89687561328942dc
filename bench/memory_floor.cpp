// memory_floor.exe MILLISECONDS [URL|-] [DLL...]
// The memory floor the installer's peak is measured against: the same process under the same Wine with
// what the installer's screens need and nothing installed. It loads the same libraries (the same import
// table), composes and paints the branding backdrop with its fonts, shows the options dialog and the web
// installation dialog from the program's own templates with the download clip playing and the bar set,
// opens a WinINet session and, given a URL, reads it once (so that the HTTP or TLS machinery of a run is
// loaded too). The DLLs named (the installer's import table, which the harness reads from the program)
// are loaded as well. Then it keeps pumping messages for the given time and ends. Prints "ready" once all is up.
#include <windows.h>
#include <commctrl.h>
#include <wininet.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "state/install_state_win.h"
#include "res/resource.h"
#include "ui/branding_win.h"

namespace {

LRESULT CALLBACK BackdropProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CREATE:
      ComposeBrandingPanel(window);
      return 0;
    case WM_PAINT:
      PaintMainWindow(window);
      return 0;
    default:
      return DefWindowProcA(window, message, wParam, lParam);
  }
}

INT_PTR CALLBACK QuietDialogProc(HWND, UINT message, WPARAM, LPARAM) { return message == WM_INITDIALOG; }

void ReadOnce(HINTERNET session, const char* url) {
  HINTERNET request = InternetOpenUrlA(session, url, nullptr, 0,
                                       INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_NO_AUTH, 0);
  if (!request) return;
  std::vector<char> buffer(512000);
  DWORD got = 0;
  while (InternetReadFile(request, buffer.data(), static_cast<DWORD>(buffer.size()), &got) && got > 0) {
  }
  InternetCloseHandle(request);
}

void Pump(DWORD milliseconds) {
  const DWORD end = GetTickCount() + milliseconds;
  for (;;) {
    const DWORD now = GetTickCount();
    if (static_cast<LONG>(end - now) <= 0) return;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, end - now, QS_ALLINPUT);
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
    }
  }
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  const DWORD milliseconds = __argc > 1 ? static_cast<DWORD>(atol(__argv[1])) : 3000;
  const char* url = __argc > 2 && strcmp(__argv[2], "-") != 0 ? __argv[2] : nullptr;
  for (int i = 3; i < __argc; ++i) LoadLibraryA(__argv[i]);
  g_state.windows.instance = instance;
  INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_ANIMATE_CLASS | ICC_PROGRESS_CLASS};
  InitCommonControlsEx(&controls);

  WNDCLASSA wc{};
  wc.lpfnWndProc = BackdropProc;
  wc.hInstance = instance;
  wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
  wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(GRAY_BRUSH));
  wc.lpszClassName = "QuarnMemoryFloor";
  RegisterClassA(&wc);
  LoadBrandingBitmap(instance);
  HWND backdrop = CreateWindowExA(0, wc.lpszClassName, "floor", WS_POPUPWINDOW | WS_VISIBLE, 0, 0,
                                  g_branding.width, g_branding.height, nullptr, nullptr, instance, nullptr);
  UpdateWindow(backdrop);
  HWND options = CreateDialogParamA(instance, "QuarnWin", backdrop, QuietDialogProc, 0);
  ShowWindow(options, SW_SHOW);
  Pump(100);

  HINTERNET session = InternetOpenA("QuarnCAD UpDate", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
  if (session && url) ReadOnce(session, url);

  HWND web = CreateDialogParamA(instance, "WebLoadBox", options, QuietDialogProc, 0);
  HWND bar = GetDlgItem(web, IDC_WEB_PROGRESS);
  SendMessageA(bar, PBM_SETRANGE, 0, MAKELPARAM(0, 1000));
  SendMessageA(bar, PBM_SETPOS, 500, 0);
  SetDlgItemTextA(web, IDC_WEB_PERCENT, " 50.0%");
  HWND animation = CreateWindowExA(0, ANIMATE_CLASSA, "", WS_CHILD | WS_VISIBLE | ACS_CENTER | ACS_TRANSPARENT,
                                   10, 10, 200, 80, web, nullptr, instance, nullptr);
  SendMessageA(animation, ACM_OPENA, reinterpret_cast<WPARAM>(instance),
               reinterpret_cast<LPARAM>(MAKEINTRESOURCEA(IDR_CLIP_DOWNLOAD)));
  SendMessageA(animation, ACM_PLAY, static_cast<WPARAM>(-1), MAKELPARAM(0, 0xFFFF));
  ShowWindow(web, SW_SHOW);
  printf("ready\n");
  fflush(stdout);
  Pump(milliseconds);

  SendMessageA(animation, ACM_OPENA, 0, 0);
  DestroyWindow(web);
  DestroyWindow(options);
  DestroyWindow(backdrop);
  FreeBrandingBitmap();
  if (session) InternetCloseHandle(session);
  return 0;
}
