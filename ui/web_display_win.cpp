#include "ui/web_display_win.h"

#include <commctrl.h>

#include <string>
#include <utility>
#include <vector>

#include "base/scoped_lock_win.h"
#include "res/resource.h"

// The writes a display has made and the dialog's thread has not applied yet, in the order made. Shared
// (reference-counted) by the dialog, which holds it from the first display's request until WM_DESTROY,
// and every display writing to it: whichever of them goes first, the other still holds it.
class WebWriteQueue {
 public:
  struct Write {
    int controlId;
    bool bar;      // the progress bar's position, else a field's text
    int position;
    std::string text;
  };
  enum class Added { kDropped, kFirst, kJoined };

  WebWriteQueue() { InitializeCriticalSection(&lock_); }
  ~WebWriteQueue() { DeleteCriticalSection(&lock_); }
  WebWriteQueue(const WebWriteQueue&) = delete;
  WebWriteQueue& operator=(const WebWriteQueue&) = delete;

  // kFirst: the queue was empty, and whoever added must tell the dialog's thread; kJoined: a message is
  // on its way already; kDropped: the dialog is gone.
  // *pending: how many writes wait now, this one included.
  Added Add(Write write, size_t* pending) {
    ScopedLock held(lock_);
    Added added = Added::kDropped;
    if (!closed_) {
      added = pending_.empty() ? Added::kFirst : Added::kJoined;
      pending_.push_back(std::move(write));
    }
    *pending = pending_.size();
    return added;
  }

  // Moves every pending write into `batch` (emptied first); from now on the queue counts as empty.
  void TakeAll(std::vector<Write>* batch) {
    batch->clear();
    ScopedLock held(lock_);
    batch->swap(pending_);
  }

  // The dialog is being destroyed: pending writes are dropped, later ones are not kept.
  void Close() {
    std::vector<Write> dropped;  // destroyed after the lock is left
    {
      ScopedLock held(lock_);
      closed_ = true;
      dropped.swap(pending_);
    }
  }

 private:
  CRITICAL_SECTION lock_;
  bool closed_ = false;
  std::vector<Write> pending_;
};

namespace {

// The window's reference to its queue, a heap-held shared pointer in a window property: read and changed
// on the window's own thread only.
constexpr char kQueueProperty[] = "QuarnWebWriteQueue";

using QueueRef = std::shared_ptr<WebWriteQueue>;

QueueRef* QueueOf(HWND window) { return static_cast<QueueRef*>(GetPropA(window, kQueueProperty)); }

void Apply(HWND dialog, const WebWriteQueue::Write& write) {
  if (write.bar) {
    SendDlgItemMessageA(dialog, write.controlId, PBM_SETPOS, static_cast<WPARAM>(write.position), 0);
  } else {
    SetDlgItemTextA(dialog, write.controlId, write.text.c_str());
  }
}

int ClipResource(WebClip clip) {
  switch (clip) {
    case WebClip::kConnect: return IDR_CLIP_CONNECT;
    case WebClip::kDownload: return IDR_CLIP_DOWNLOAD;
    case WebClip::kInstall: return IDR_CLIP_INSTALL;
  }
  return IDR_CLIP_CONNECT;
}

}  // namespace

void ApplyWebWrites(HWND window) {
  QueueRef* ref = QueueOf(window);
  if (ref == nullptr) return;
  // Held by this call too: a write applied here may reach code that destroys the window.
  QueueRef queue = *ref;
  std::vector<WebWriteQueue::Write> batch;
  queue->TakeAll(&batch);
  for (const WebWriteQueue::Write& write : batch) Apply(window, write);
}

bool HandleWebDisplayMessage(HWND window, UINT message, WPARAM, LPARAM lParam) {
  switch (message) {
    case kWebWriteQueueMessage: {
      QueueRef* ref = QueueOf(window);
      if (ref == nullptr) {
        ref = new QueueRef(std::make_shared<WebWriteQueue>());
        if (!SetPropA(window, kQueueProperty, ref)) {
          delete ref;
          return true;  // the display writes at once instead
        }
      }
      if (lParam != 0) *reinterpret_cast<QueueRef*>(lParam) = *ref;
      return true;
    }
    case kWebApplyWritesMessage:
      ApplyWebWrites(window);
      return true;
    case WM_DESTROY:
      if (QueueRef* ref = static_cast<QueueRef*>(RemovePropA(window, kQueueProperty))) {
        (*ref)->Close();
        delete ref;
      }
      return false;  // the window's own WM_DESTROY handling goes on
    default:
      return false;
  }
}

WebDisplay::WebDisplay(HWND dialog)
    : dialog_(dialog), dialogThread_(dialog ? GetWindowThreadProcessId(dialog, nullptr) : 0) {
  InitializeCriticalSection(&lock_);
  if (dialog_ != nullptr) SendMessageA(dialog_, kWebWriteQueueMessage, 0, reinterpret_cast<LPARAM>(&queue_));
}

WebDisplay::~WebDisplay() {
  Flush();
  DeleteCriticalSection(&lock_);
}

void WebDisplay::Queue(int controlId, bool bar, int position, const char* text) {
  ScopedLock held(lock_);
  WebWriteQueue::Write write{controlId, bar, position, text != nullptr ? text : ""};
  if (!queue_) {  // a host that keeps no queue: written at once
    Apply(dialog_, write);
    return;
  }
  size_t pending = 0;
  const WebWriteQueue::Added added = queue_->Add(std::move(write), &pending);
  if (added == WebWriteQueue::Added::kDropped) return;
  unflushed_ = true;
  if (GetCurrentThreadId() == dialogThread_ || pending >= kMaxPendingWebWrites) {
    // On the dialog's own thread: applied now, as a direct write would be. Else the queue is full: the
    // worker waits for the dialog once instead of holding ever more writes.
    Flush();
  } else if (added == WebWriteQueue::Added::kFirst) {
    // One message per batch. Should it not be posted, the writes wait for the next flush.
    PostMessageA(dialog_, kWebApplyWritesMessage, 0, 0);
  }
}

void WebDisplay::Flush() {
  if (dialog_ == nullptr) return;
  // Held while the dialog's thread applies the writes: a write another thread makes meanwhile waits, so
  // a flush returns only once everything queued before it is on the screen.
  ScopedLock held(lock_);
  if (!unflushed_) return;
  unflushed_ = false;
  // Sent: carried out on the dialog's thread, after every batch posted before it (that thread applies
  // one batch at a time), and the worker waits until it is.
  SendMessageA(dialog_, kWebApplyWritesMessage, 0, 0);
}

void WebDisplay::Write(WebField field, int controlId, const char* text) {
  if (dialog_ == nullptr) return;
  ScopedLock held(lock_);
  if (!shown_.TextChanges(field, text)) return;
  Queue(controlId, false, 0, text);
}

void WebDisplay::ShowTitle(const char* text) { Write(WebField::kTitle, IDC_WEB_TITLE, text); }
void WebDisplay::ShowStatus(const char* text) { Write(WebField::kStatus, IDC_WEB_STATUS, text); }
void WebDisplay::ShowPercent(const char* text) { Write(WebField::kPercent, IDC_WEB_PERCENT, text); }
void WebDisplay::ShowActivity(const char* text) { Write(WebField::kActivity, IDC_WEB_ACTIVITY, text); }
void WebDisplay::ShowFrameText(const char* text) { Write(WebField::kFrame, IDC_WEB_FRAME, text); }

void WebDisplay::ShowBar(int position) {
  if (dialog_ == nullptr) return;
  ScopedLock held(lock_);
  if (!shown_.BarChanges(position)) return;
  Queue(IDC_WEB_PROGRESS, true, position, nullptr);
}

void WebDisplay::RevealProgress() {
  if (dialog_ == nullptr) return;
  Flush();
  for (int id : {IDC_WEB_STATUS, IDC_WEB_PROGRESS, IDC_WEB_ACTIVITY, IDC_WEB_PERCENT}) {
    ShowWindow(GetDlgItem(dialog_, id), SW_SHOWNORMAL);
  }
}

HWND WebDisplay::Animation() const { return dialog_ ? GetDlgItem(dialog_, IDC_WEB_ANIMATION) : nullptr; }

void WebDisplay::PlayClip(WebClip clip) {
  if (dialog_ == nullptr) return;
  Flush();
  // Carried out on the dialog's thread (directly when this is that thread).
  SendMessageA(dialog_, kWebPlayClipMessage, static_cast<WPARAM>(IDC_WEB_FRAME),
               static_cast<LPARAM>(ClipResource(clip)));
}

void WebDisplay::ChangeClip(WebClip clip) {
  Flush();
  HWND animation = Animation();
  if (animation == nullptr) return;
  SendMessageA(animation, ACM_STOP, 0, 0);
  SendMessageA(animation, ACM_OPENA, static_cast<WPARAM>(GetWindowLongPtrA(animation, GWLP_HINSTANCE)),
               reinterpret_cast<LPARAM>(MAKEINTRESOURCEA(ClipResource(clip))));
  // Endless repeats, from the first frame to the last.
  SendMessageA(animation, ACM_PLAY, static_cast<WPARAM>(-1), MAKELPARAM(0, 0xFFFF));
}

void WebDisplay::StopClip() {
  Flush();
  HWND animation = Animation();
  if (animation == nullptr) return;
  SendMessageA(animation, ACM_STOP, 0, 0);
  ShowWindow(animation, SW_HIDE);
}

void WebDisplay::ShowExitButton(const char* text) {
  if (dialog_ == nullptr) return;
  Flush();
  HWND button = GetDlgItem(dialog_, IDCANCEL);
  SetWindowTextA(button, text);
  EnableWindow(button, TRUE);
}

void WebDisplay::ReportSuccess() {
  if (dialog_ == nullptr) return;
  Flush();
  PostMessageA(dialog_, WM_COMMAND, IDM_WEB_SUCCESS, 0);
}

void WebDisplay::AskCancel() {
  if (dialog_ == nullptr) return;
  Flush();
  SendMessageA(dialog_, WM_COMMAND, IDM_WEB_ABORT, 0);
}
