// The web installation dialog's display, written from the worker thread: the title, status, percentage
// and activity fields, the frame's text, the progress bar, the animation clip and the ends of a run
// (the button turned into "Kilépés", success, a Cancel asked for by the copy step).
//
// The dialog's handle is taken once, when the worker starts, and never re-read from the shared state
// (the dialog's thread clears that at WM_DESTROY). A field or the bar is written only when what it shows
// changes (ui/web_display.h). Such a write costs the worker no wait: it joins a queue of pending writes,
// and the dialog's thread applies the queue in order when it gets to it (one posted message per batch).
// Everything else the worker asks of the dialog (the clips, the exit button, Cancel, success, every
// message box the dialog owns) first waits until every earlier write has been applied, so the user never
// sees a box while the status line still names an older file. Without a dialog (a silent run, the tests
// of the steps below the worker) every call does nothing and message boxes have no owner.
//
// All writes go through one object: what it remembers as shown is exact only if nothing else writes
// the same controls. The dialog itself only hides and shows them. Several threads may write through the
// same display (the transfers of a download in flight at once): each call is carried out whole before
// the next one, in the order the calls were made.
#pragma once
#include <windows.h>

#include <memory>

#include "ui/web_display.h"

// The clips the animation plays: connecting, downloading, installing.
enum class WebClip { kConnect, kDownload, kInstall };

// Sent to the dialog by WebDisplay::PlayClip: wParam the id of the frame to cover, lParam the clip's
// resource id. The dialog procedure creates the animation control on its own thread: a window belongs
// to the thread that creates it, and a child of the dialog owned by the busy worker would stall every
// message the dialog sends it (destroying the dialog among them).
constexpr UINT kWebPlayClipMessage = WM_APP + 1;

// The display's own messages, answered by HandleWebDisplayMessage (WM_APP + 2 is the proxy's).
constexpr UINT kWebApplyWritesMessage = WM_APP + 3;   // apply every pending write (posted or sent)
constexpr UINT kWebWriteQueueMessage = WM_APP + 4;    // sent once: lParam points to the display's queue slot

// A window that hosts a display (the web dialog, the tests' stand-ins) calls this first in its
// procedure, on its own thread, for every message; true: the message was the display's and has been
// handled (a dialog procedure returns TRUE, a window procedure 0). The window owns the queue of writes
// pending for it from the first display's request until WM_DESTROY; the queue is shared with the
// displays that write to it, so a write posted to a dialog that is gone, or a message still posted when
// the display is gone, touches nothing freed. From WM_DESTROY on, pending writes are dropped and new
// ones are not kept.
bool HandleWebDisplayMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Applies the writes pending for `window` now; on the window's own thread only (e.g. before it shows a
// box of its own at the worker's request).
void ApplyWebWrites(HWND window);

class WebWriteQueue;

// At most this many writes wait for the dialog's thread: the one that would exceed it waits until they
// are applied, so a dialog that falls behind (or is held) never makes the queue grow with the set.
constexpr size_t kMaxPendingWebWrites = 1024;

class WebDisplay {
 public:
  WebDisplay() { InitializeCriticalSection(&lock_); }  // no dialog: nothing is shown
  // Asks the dialog for its queue (one wait on the dialog's thread). A window that does not answer gets
  // every write at once, waiting on its thread as each is carried out.
  explicit WebDisplay(HWND dialog);
  // Waits until every write made through this display has been applied.
  ~WebDisplay();
  WebDisplay(const WebDisplay&) = delete;
  WebDisplay& operator=(const WebDisplay&) = delete;

  // The owner of the run's message boxes (nullptr without a dialog). Asked for just before a box is
  // shown: it first waits until every earlier write is on the screen.
  HWND owner() {
    Flush();
    return dialog_;
  }

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

  // Waits until every write made so far has been applied on the dialog's thread (returns at once when
  // nothing was written since the last time, or without a dialog).
  void Flush();

 private:
  void Write(WebField field, int controlId, const char* text);
  void Queue(int controlId, bool bar, int position, const char* text);
  HWND Animation() const;

  // Held by every write, flush and wait: the transfers of a download write through one display from
  // several threads, and what it remembers as shown must follow the writes in the order queued.
  CRITICAL_SECTION lock_;
  HWND dialog_ = nullptr;
  DWORD dialogThread_ = 0;
  std::shared_ptr<WebWriteQueue> queue_;
  bool unflushed_ = false;  // a write was queued since the last flush
  ShownValues shown_;
};
