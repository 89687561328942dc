// The web installation dialog's display, written from the worker thread: the title, status, percentage
// and activity fields, the frame's text, the progress bar, the animation clip and the ends of a run
// (the button turned into "Kilépés", success, a Cancel asked for by the copy step).
//
// The dialog's handle is taken once, when the worker starts, and never re-read from the shared state
// (the dialog's thread clears that at WM_DESTROY). Every write is a message the worker sends to the
// dialog's thread and waits on; a field or the bar is written only when what it shows changes
// (ui/web_display.h), so the worker never waits for a write that changes nothing. Without a dialog
// (a silent run, the tests of the steps below the worker) every call does nothing and message boxes
// have no owner.
//
// All writes go through one object: what it remembers as shown is exact only if nothing else writes
// the same controls. The dialog itself only hides and shows them.
#pragma once
#include <windows.h>

#include "ui/web_display.h"

// The clips the animation plays: connecting, downloading, installing.
enum class WebClip { kConnect, kDownload, kInstall };

// Sent to the dialog by WebDisplay::PlayClip: wParam the id of the frame to cover, lParam the clip's
// resource id. The dialog procedure creates the animation control on its own thread: a window belongs
// to the thread that creates it, and a child of the dialog owned by the busy worker would stall every
// message the dialog sends it (destroying the dialog among them).
constexpr UINT kWebPlayClipMessage = WM_APP + 1;

class WebDisplay {
 public:
  WebDisplay() = default;  // no dialog: nothing is shown
  explicit WebDisplay(HWND dialog);
  WebDisplay(const WebDisplay&) = delete;
  WebDisplay& operator=(const WebDisplay&) = delete;

  // The owner of the run's message boxes (nullptr without a dialog).
  HWND owner() const { return dialog_; }

  void ShowTitle(const char* text);
  void ShowStatus(const char* text);
  void ShowPercent(const char* text);
  void ShowActivity(const char* text);
  void ShowFrameText(const char* text);
  // The bar's position in its range 0..1000 (values outside it are the bar's to clamp).
  void ShowBar(int position);

  // Uncovers the status, bar, activity and percentage controls, hidden until the download begins.
  void RevealProgress();

  // Creates the animation control over the frame and plays clip endlessly (once per dialog).
  void PlayClip(WebClip clip);
  // Stops the running clip and plays another on the same control.
  void ChangeClip(WebClip clip);
  // Stops the animation and hides its control, uncovering the frame and its text.
  void StopClip();

  // The Cancel button becomes the exit button: its text, enabled.
  void ShowExitButton(const char* text);
  // Posts the success command: the dialog closes with 1 and the worker does not wait for it.
  void ReportSuccess();
  // Sends Cancel to the dialog and waits until it is taken, so that the run reaches its cancelled end
  // while the worker still runs (posted, it could arrive after the worker's end and close the dialog).
  void AskCancel();

 private:
  void Write(WebField field, int controlId, const char* text);
  HWND Animation() const;

  HWND dialog_ = nullptr;
  HWND bar_ = nullptr;
  ShownValues shown_;
};
