// The web installation dialog. It starts the worker at once and then only reacts: the worker writes the
// dialog's controls from its own thread through its display (ui/web_display_win.h; its queued writes and
// its sends are carried out here, on the dialog's thread, while the modal loop runs), and the dialog never
// waits for the worker.
#include "app/web_dialog_win.h"

#include <commctrl.h>

#include <string>

#include "app/worker_texts.h"
#include "app/worker_win.h"
#include "base/scoped_handle_win.h"
#include "base/text.h"
#include "res/resource.h"
#include "state/install_state_win.h"
#include "ui/centre_win.h"
#include "ui/web_display_win.h"
#include "web/remote_file_win.h"

namespace {

constexpr COLORREF kDialogColour = RGB(186, 218, 254);     // dialog and static backgrounds
constexpr COLORREF kAnimationColour = RGB(231, 231, 215);  // behind the clips (their key colour too)
constexpr COLORREF kBarColour = RGB(45, 125, 154);

constexpr int kProgressControls[] = {IDC_WEB_STATUS, IDC_WEB_PROGRESS, IDC_WEB_ACTIVITY, IDC_WEB_PERCENT};

// Both brushes live exactly as long as the dialog; so does the worker's thread handle.
ScopedGdiObject g_dialogBrush;
ScopedGdiObject g_animationBrush;
ScopedKernelHandle g_workerThread;

// Set by the worker's success command. Command 1 closes the dialog with result 1 only after it: the
// dialog manager also sends command 1 for the Enter key (there is no default button to take it), and
// Enter must not report success while the installation is still running or has failed.
bool g_successReported = false;

HINSTANCE InstanceOf(HWND window) {
  return reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(window, GWLP_HINSTANCE));
}

void OpenAndPlay(HWND animation, int clipId) {
  SendMessageA(animation, ACM_OPENA, reinterpret_cast<WPARAM>(InstanceOf(animation)),
               reinterpret_cast<LPARAM>(MAKEINTRESOURCEA(clipId)));
  // Endless repeats, from the first frame to the last.
  SendMessageA(animation, ACM_PLAY, static_cast<WPARAM>(-1), MAKELPARAM(0, 0xFFFF));
}

void CreateAnimationOver(HWND dialog, int frameId, int clipId) {
  HWND frame = GetDlgItem(dialog, frameId);
  RECT frameRect{}, dialogRect{};
  GetWindowRect(frame, &frameRect);
  GetWindowRect(dialog, &dialogRect);
  const int caption = GetSystemMetrics(SM_CYCAPTION);
  const int borderX = GetSystemMetrics(SM_CXDLGFRAME);
  const int borderY = GetSystemMetrics(SM_CYDLGFRAME);

  HWND animation = CreateWindowExA(0, ANIMATE_CLASSA, "", WS_CHILD | ACS_CENTER | ACS_TRANSPARENT, 0, 0, 0,
                                   0, dialog, reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDC_WEB_ANIMATION)),
                                   InstanceOf(dialog), nullptr);
  if (!animation) return;
  // Inside the frame's sunken edge. New children go to the bottom of the sibling order, below the frame
  // that would then paint over them: bring the control to the top as it is placed.
  SetWindowPos(animation, HWND_TOP, frameRect.left - dialogRect.left - borderX,
               frameRect.top - dialogRect.top - borderY - caption,
               (frameRect.right - frameRect.left) - 3 * borderX, (frameRect.bottom - frameRect.top) - 3 * borderY,
               0);
  ShowWindow(animation, SW_SHOW);
  OpenAndPlay(animation, clipId);
}

void HideProgressControls(HWND dialog) {
  for (int id : kProgressControls) ShowWindow(GetDlgItem(dialog, id), SW_HIDE);
}

BOOL OnInitDialog(HWND dialog) {
  g_state.windows.webDialog = dialog;
  g_successReported = false;
  if (g_state.windows.optionsDialog) CentreOver(g_state.windows.optionsDialog, dialog);
  g_dialogBrush.reset(CreateSolidBrush(kDialogColour));
  g_animationBrush.reset(CreateSolidBrush(kAnimationColour));

  if (HWND bar = GetDlgItem(dialog, IDC_WEB_PROGRESS)) {
    SendMessageA(bar, PBM_SETRANGE, 0, MAKELPARAM(0, 1000));
    SendMessageA(bar, PBM_SETSTEP, 1, 0);
    SendMessageA(bar, PBM_SETMARQUEE, TRUE, 10);
    SendMessageA(bar, PBM_SETBKCOLOR, 0, kDialogColour);
    SendMessageA(bar, PBM_SETBARCOLOR, 0, kBarColour);
    // The manifest asks for no common-controls version, and the classic bar ignores the marquee: it shows
    // the position that the download and the copy set, which is what the user is meant to see. Bars that
    // honour PBS_MARQUEE (version 6, and Wine's whatever the manifest says) would draw a moving block
    // instead and never show the position, so the marquee is switched off again.
    SendMessageA(bar, PBM_SETMARQUEE, FALSE, 0);
    SetWindowLongPtrA(bar, GWL_STYLE, GetWindowLongPtrA(bar, GWL_STYLE) & ~static_cast<LONG_PTR>(PBS_MARQUEE));
  }
  HideProgressControls(dialog);
  PostMessageA(dialog, WM_COMMAND, IDM_WEB_START, 0);
  return TRUE;
}

void OnCancel(HWND dialog) {
  HWND button = GetDlgItem(dialog, IDCANCEL);
  // While the worker winds down the button is disabled; the close box and Esc must not act either.
  if (button && !IsWindowEnabled(button)) return;
  g_state.flags.cancelRequested = 1;
  if (g_state.flags.workerRunning == 0) {
    EndDialog(dialog, 0);
    return;
  }
  // The worker stops at its next check and turns the button into "Kilépés". It clears workerRunning
  // before it touches the button, and its sends wait until this handler has returned, so the button
  // cannot stay disabled.
  char text[64] = "";
  if (LoadStringA(InstanceOf(dialog), IDS_CANCELLED, text, sizeof text) <= 0) {
    CopyText(text, sizeof text, "Megszak\xedtva");  // "Megszakítva"
  }
  SetWindowTextA(button, text);
  EnableWindow(button, FALSE);
}

INT_PTR OnCommand(HWND dialog, int id) {
  switch (id) {
    case IDOK:
      if (g_successReported) EndDialog(dialog, 1);
      return TRUE;
    case IDCANCEL:
      OnCancel(dialog);
      return TRUE;
    case IDM_WEB_START:
      // The worker takes the dialog's handle once, as its display's.
      StartWorker(RunInstallation, dialog);
      return TRUE;
    case IDM_WEB_SUCCESS:
      g_successReported = true;
      PostMessageA(dialog, WM_COMMAND, IDOK, 0);
      return TRUE;
    case IDM_WEB_ABORT:
      // Cancel, taken at once rather than posted on: the copy step sends this while the worker still
      // runs, and a Cancel handled after the worker's end would close the dialog instead of showing the
      // cancelled end.
      OnCancel(dialog);
      return TRUE;
    default:
      return FALSE;
  }
}

INT_PTR OnCtlColorStatic(HDC dc, HWND control) {
  if (GetDlgCtrlID(control) == IDC_WEB_ANIMATION) {
    SetBkColor(dc, kAnimationColour);
    return reinterpret_cast<INT_PTR>(g_animationBrush.get());
  }
  SetBkColor(dc, kDialogColour);
  return reinterpret_cast<INT_PTR>(g_dialogBrush.get());
}

void OnDestroy(HWND dialog) {
  if (HWND animation = GetDlgItem(dialog, IDC_WEB_ANIMATION)) SendMessageA(animation, ACM_OPENA, 0, 0);
  g_dialogBrush.reset();
  g_animationBrush.reset();
  g_workerThread.reset();
  // Nothing may address the dialog's controls through stale handles after this.
  g_state.windows.webDialog = nullptr;
}

}  // namespace

INT_PTR CALLBACK WebLoadDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  // The worker's writes, queued for this thread (its WM_DESTROY goes on below).
  if (HandleWebDisplayMessage(dialog, message, wParam, lParam)) return TRUE;
  switch (message) {
    case WM_INITDIALOG:
      return OnInitDialog(dialog);
    case WM_COMMAND:
      return OnCommand(dialog, LOWORD(wParam));
    case WM_CTLCOLORDLG:
      return reinterpret_cast<INT_PTR>(g_dialogBrush.get());
    case WM_CTLCOLORSTATIC:
      return OnCtlColorStatic(reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam));
    case kWebPlayClipMessage:
      CreateAnimationOver(dialog, static_cast<int>(wParam), static_cast<int>(lParam));
      return TRUE;
    case kProxyCredentialsMessage:
      // Asked by the worker: the dialog belongs to this thread, like its owner. The worker may ask before
      // the dialog manager has shown this dialog (it does so when its loop first goes idle, which the
      // credential dialog's own loop would put off): shown first, so that the user sees what is asking,
      // with every write the worker made before it.
      ApplyWebWrites(dialog);
      ShowWindow(dialog, SW_SHOW);
      UpdateWindow(dialog);
      SetWindowLongPtrA(dialog, DWLP_MSGRESULT,
                        static_cast<LONG_PTR>(ShowProxyCredentialDialog(dialog, reinterpret_cast<HINTERNET>(lParam))));
      return TRUE;
    case WM_DESTROY:
      OnDestroy(dialog);
      return 0;
    default:
      return FALSE;
  }
}

void StartWorker(LPTHREAD_START_ROUTINE procedure, LPVOID parameter) {
  HANDLE thread = CreateWorkerThread(procedure, parameter);
  if (!thread) return;  // the dialog keeps its empty display; Cancel ends it with 0
  g_workerThread.reset(thread);
  // Counted as running before its first instruction: a Cancel pressed in between must wait for the
  // worker's end instead of closing the dialog under a thread that is about to write to it.
  g_state.flags.workerRunning = 1;
  ResumeThread(thread);
}
