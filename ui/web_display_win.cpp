#include "ui/web_display_win.h"

#include <commctrl.h>

#include "res/resource.h"

namespace {

int ClipResource(WebClip clip) {
  switch (clip) {
    case WebClip::kConnect: return IDR_CLIP_CONNECT;
    case WebClip::kDownload: return IDR_CLIP_DOWNLOAD;
    case WebClip::kInstall: return IDR_CLIP_INSTALL;
  }
  return IDR_CLIP_CONNECT;
}

}  // namespace

WebDisplay::WebDisplay(HWND dialog) : dialog_(dialog), bar_(dialog ? GetDlgItem(dialog, IDC_WEB_PROGRESS) : nullptr) {}

void WebDisplay::Write(WebField field, int controlId, const char* text) {
  if (dialog_ == nullptr || !shown_.TextChanges(field, text)) return;
  SetDlgItemTextA(dialog_, controlId, text != nullptr ? text : "");
}

void WebDisplay::ShowTitle(const char* text) { Write(WebField::kTitle, IDC_WEB_TITLE, text); }
void WebDisplay::ShowStatus(const char* text) { Write(WebField::kStatus, IDC_WEB_STATUS, text); }
void WebDisplay::ShowPercent(const char* text) { Write(WebField::kPercent, IDC_WEB_PERCENT, text); }
void WebDisplay::ShowActivity(const char* text) { Write(WebField::kActivity, IDC_WEB_ACTIVITY, text); }
void WebDisplay::ShowFrameText(const char* text) { Write(WebField::kFrame, IDC_WEB_FRAME, text); }

void WebDisplay::ShowBar(int position) {
  if (bar_ == nullptr || !shown_.BarChanges(position)) return;
  SendMessageA(bar_, PBM_SETPOS, static_cast<WPARAM>(position), 0);
}

void WebDisplay::RevealProgress() {
  if (dialog_ == nullptr) return;
  for (int id : {IDC_WEB_STATUS, IDC_WEB_PROGRESS, IDC_WEB_ACTIVITY, IDC_WEB_PERCENT}) {
    ShowWindow(GetDlgItem(dialog_, id), SW_SHOWNORMAL);
  }
}

HWND WebDisplay::Animation() const { return dialog_ ? GetDlgItem(dialog_, IDC_WEB_ANIMATION) : nullptr; }

void WebDisplay::PlayClip(WebClip clip) {
  if (dialog_ == nullptr) return;
  // Carried out on the dialog's thread (directly when this is that thread).
  SendMessageA(dialog_, kWebPlayClipMessage, static_cast<WPARAM>(IDC_WEB_FRAME),
               static_cast<LPARAM>(ClipResource(clip)));
}

void WebDisplay::ChangeClip(WebClip clip) {
  HWND animation = Animation();
  if (animation == nullptr) return;
  SendMessageA(animation, ACM_STOP, 0, 0);
  SendMessageA(animation, ACM_OPENA, static_cast<WPARAM>(GetWindowLongPtrA(animation, GWLP_HINSTANCE)),
               reinterpret_cast<LPARAM>(MAKEINTRESOURCEA(ClipResource(clip))));
  // Endless repeats, from the first frame to the last.
  SendMessageA(animation, ACM_PLAY, static_cast<WPARAM>(-1), MAKELPARAM(0, 0xFFFF));
}

void WebDisplay::StopClip() {
  HWND animation = Animation();
  if (animation == nullptr) return;
  SendMessageA(animation, ACM_STOP, 0, 0);
  ShowWindow(animation, SW_HIDE);
}

void WebDisplay::ShowExitButton(const char* text) {
  if (dialog_ == nullptr) return;
  HWND button = GetDlgItem(dialog_, IDCANCEL);
  SetWindowTextA(button, text);
  EnableWindow(button, TRUE);
}

void WebDisplay::ReportSuccess() {
  if (dialog_ != nullptr) PostMessageA(dialog_, WM_COMMAND, IDM_WEB_SUCCESS, 0);
}

void WebDisplay::AskCancel() {
  if (dialog_ != nullptr) SendMessageA(dialog_, WM_COMMAND, IDM_WEB_ABORT, 0);
}
