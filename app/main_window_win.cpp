// Start-up and the main window. The window is a borderless backdrop the size of the branding bitmap,
// centred on the screen; it carries the branding panel and owns the options dialog, which it opens as
// soon as its message loop runs. Destroying it ends the program.
#include "app/main_window_win.h"

#include "app/options_dialog_win.h"
#include "app/startup.h"
#include "res/resource.h"
#include "state/install_state_win.h"
#include "ui/branding_win.h"

void LoadWindowsFolder(char (&folder)[80]) {
  // GetEnvironmentVariableA returns the length without the terminator when the value fits, and the size
  // it would need (more than the buffer) when it does not; the buffer's content is undefined then.
  char value[sizeof folder];
  DWORD n = GetEnvironmentVariableA("windir", value, sizeof value);
  StoreWindowsFolder(folder, sizeof folder, n > 0 && n < sizeof value ? value : nullptr);
}

namespace {

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

void RegisterMainWindowClass(HINSTANCE instance) {
  WNDCLASSA wc;
  ZeroMemory(&wc, sizeof wc);
  wc.style = CS_HREDRAW | CS_VREDRAW;
  wc.lpfnWndProc = MainWindowProc;
  wc.hInstance = instance;
  wc.hIcon = LoadIconA(instance, "QuarnEarth");
  wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
  wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(GRAY_BRUSH));
  wc.lpszClassName = kMainWindowClass;
  RegisterClassA(&wc);  // a failure shows up as a failed CreateWindowExA below
}

LRESULT OnCreate(HWND window, const CREATESTRUCTA* create) {
  // The run's command line, for the options dialog (it outlives the window: RunInstaller's caller owns it).
  SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
  ComposeBrandingPanel(window);
  // Posted, not sent: the options dialog opens once creation has finished and the loop runs, with the
  // backdrop already visible behind it.
  PostMessageA(window, WM_COMMAND, IDM_OPEN_OPTIONS, 0);
  return 0;
}

LRESULT OnCommand(HWND window, WPARAM wParam) {
  if (LOWORD(wParam) == IDM_OPEN_OPTIONS) {
    DialogBoxParamA(g_state.windows.instance, "QuarnWin", window, OptionsDialogProc,
                    GetWindowLongPtrA(window, GWLP_USERDATA));
  }
  return 0;
}

LRESULT OnDestroy() {
  FreeBrandingBitmap();
  PostQuitMessage(0);
  return 0;
}

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CREATE:
      return OnCreate(window, reinterpret_cast<const CREATESTRUCTA*>(lParam));
    case WM_COMMAND:
      return OnCommand(window, wParam);
    case WM_PAINT:
      PaintMainWindow(window);
      return 0;
    case WM_DESTROY:
      return OnDestroy();
    default:
      return DefWindowProcA(window, message, wParam, lParam);
  }
}

}  // namespace

int RunInstaller(HINSTANCE instance, const CommandLine& line) {
  RegisterMainWindowClass(instance);
  g_state.windows.instance = instance;
  LoadWindowsFolder(g_state.process.windowsFolder);
  int screenWidth = GetSystemMetrics(SM_CXSCREEN);
  int screenHeight = GetSystemMetrics(SM_CYSCREEN);
  int dialogFrame = GetSystemMetrics(SM_CYDLGFRAME);
  LoadBrandingBitmap(instance);
  g_state.paths.stagingFolder[0] = '\0';
  LoadStringA(instance, IDS_CAPTION, g_state.process.caption, sizeof g_state.process.caption);

  WindowPlacement at =
      MainWindowPlacement(screenWidth, screenHeight, g_branding.width, g_branding.height, dialogFrame);
  HWND window = CreateWindowExA(0, kMainWindowClass, g_state.process.caption, WS_POPUPWINDOW | WS_VISIBLE, at.x, at.y,
                                at.width, at.height, nullptr, nullptr, instance,
                                const_cast<CommandLine*>(&line));
  if (!window) {
    // Without the window nothing could ever post the quit message: end instead of waiting forever.
    FreeBrandingBitmap();
    return 1;
  }
  g_state.windows.mainWindow = window;
  UpdateWindow(window);

  MSG msg;
  ZeroMemory(&msg, sizeof msg);
  for (;;) {
    BOOL got = GetMessageA(&msg, nullptr, 0, 0);
    if (got == 0) break;
    if (got == -1) return 1;  // only with invalid arguments; never loop on it
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  return static_cast<int>(msg.wParam);
}
