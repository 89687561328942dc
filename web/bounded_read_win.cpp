#include "web/bounded_read_win.h"

#include <memory>
#include <new>
#include <utility>

#include "base/install_log_win.h"
#include "web/fetch_queue.h"
#include "web/retry_policy.h"

// Why a helper thread: a server that accepts a request, sends part of the body and then sends nothing
// more (but keeps the connection open) leaves InternetReadFile waiting. Windows ends that read after the
// request's receive time-out; Wine's WinINet ignores the time-out and waits until the server closes,
// which may be never. So the reads of a chunk run on a helper, and the download waits for the chunk with
// a bound measured from the last byte that arrived.
//
// The helper fills the whole chunk itself (one hand-off per 512,000-byte chunk). Wine's synchronous reads
// wait until the whole requested size is there, so the helper sizes each read to what arrives in about
// two seconds at the rate the last read saw: on a fast link that is the rest of the chunk (one call, as
// before), on a slow one small reads that show progress well within the bound. (Asking
// InternetQueryDataAvailable first would show every arrival, but under Wine it hands out a few kilobytes
// at a time and made a fast download about ten times slower.)
//
// A helper serves one transfer after the other (starting a thread per file cost about 10 ms per file
// under Wine); a helper left inside a stalled read is abandoned, and the next transfer starts another.
//
// Closing: the request handle is closed by the reader only, under the lock the helper takes before each
// call, so the helper never starts a call on a closed handle (WinINet reuses handle values: the next
// attempt's request may get the same one). Closing a handle while another thread is inside a call on it
// is safe with WinINet: the object lives until that call returns. The reader closes while the helper may
// be inside a call only after a stall, when that call has gone on for the whole bound; at any other time
// the helper is idle, waiting for the next chunk.
struct BoundedReadShared {
  CRITICAL_SECTION lock;
  // Under the lock:
  HINTERNET request = nullptr;  // null while no transfer is open, or once the reader closed it
  bool filling = false;         // the helper is inside FillChunk
  bool abandoned = false;       // the reader gave up waiting for a fill: the helper ends after it
  bool quit = false;            // the helper ends at its next wake-up
  // The transfer's buffers (the second one only once the transfer reads ahead), set by the reader while
  // the helper is idle; `target` is the one the helper fills next.
  std::unique_ptr<char[]> buffers[2];
  char* target = nullptr;
  DWORD size = 0;
  DWORD piece = 0;  // the size of the helper's next read
  ScopedKernelHandle wantChunk;  // auto-reset: the reader asks for the next chunk (or for the end)
  ScopedKernelHandle haveChunk;  // auto-reset: the helper has filled one
  std::atomic<uint32_t> lastByteTick{0};
  // The chunk's outcome, written by the helper before it sets haveChunk.
  DWORD got = 0;
  BOOL ok = TRUE;
  DWORD error = 0;
  bool ended = false;  // the body ended inside this chunk: the next ReadChunk needs no hand-off
  std::atomic<int32_t> refs{2};  // the reader side (a reader or the idle slot) and the helper

  BoundedReadShared() { InitializeCriticalSection(&lock); }
  ~BoundedReadShared() { DeleteCriticalSection(&lock); }

  // The request for the helper's next call, or null once the reader closed it.
  HINTERNET RequestForNextCall() {
    EnterCriticalSection(&lock);
    HINTERNET h = request;
    LeaveCriticalSection(&lock);
    return h;
  }

  void Release() {
    if (refs.fetch_sub(1) == 1) delete this;
  }
};

namespace {

std::atomic<uint32_t> g_stallBoundMs{kStallBoundMs};
// The helpers waiting for the next transfer: one per transfer that may be in flight at once.
constexpr int kIdleHelpers = kParallelTransfers;
std::atomic<BoundedReadShared*> g_idleHelpers[kIdleHelpers] = {};

// How long Close waits for a helper still inside a read after closing the request. Where closing ends a
// waiting read, the helper is back at once; where it does not, this is what a stall costs beyond its
// bound.
constexpr DWORD kHelperBackWaitMs = 500;
// While Cancel is not pressed the wait for a chunk looks at it this often.
constexpr DWORD kCancelLookMs = 100;
// A read's size is chosen so that it returns within about kPieceMs at the rate the last one saw, never
// smaller than kMinPiece; a transfer's first read asks for kFirstPiece.
constexpr DWORD kPieceMs = 2000;
static_assert(kCancelledStallMs >= 3 * kPieceMs, "a read that returns in time must never look like a stall after Cancel");
constexpr DWORD kMinPiece = 4096;
constexpr DWORD kFirstPiece = 65536;

// Fills the buffer: until it is full, the body ends, a call fails or the reader closes the request.
void FillChunk(BoundedReadShared* s) {
  s->got = 0;
  s->ok = TRUE;
  s->error = 0;
  s->ended = false;
  while (s->got < s->size) {
    HINTERNET h = s->RequestForNextCall();
    if (h == nullptr) return;
    DWORD room = s->size - s->got;
    DWORD want = s->piece < room ? s->piece : room;
    DWORD n = 0;
    DWORD started = GetTickCount();
    if (!InternetReadFile(h, s->target + s->got, want, &n)) {
      s->ok = FALSE;
      s->error = GetLastError();
      return;
    }
    if (n == 0) {
      s->ended = true;
      return;
    }
    DWORD took = GetTickCount() - started;
    s->got += n;
    s->lastByteTick.store(GetTickCount());
    uint64_t next = took == 0 ? s->size : static_cast<uint64_t>(n) * kPieceMs / took;
    s->piece = next < kMinPiece ? kMinPiece : next > s->size ? s->size : static_cast<DWORD>(next);
  }
}

DWORD WINAPI HelperThread(LPVOID parameter) {
  BoundedReadShared* s = static_cast<BoundedReadShared*>(parameter);
  for (;;) {
    WaitForSingleObject(s->wantChunk.get(), INFINITE);
    EnterCriticalSection(&s->lock);
    bool quit = s->quit;
    s->filling = !quit;
    LeaveCriticalSection(&s->lock);
    if (quit) break;
    FillChunk(s);
    EnterCriticalSection(&s->lock);
    s->filling = false;
    bool abandoned = s->abandoned;
    LeaveCriticalSection(&s->lock);
    if (abandoned) break;
    SetEvent(s->haveChunk.get());
  }
  s->Release();
  return 0;
}

// The idle helper, or a new one; null when none could be made.
BoundedReadShared* TakeHelper() {
  for (std::atomic<BoundedReadShared*>& slot : g_idleHelpers) {
    BoundedReadShared* s = slot.exchange(nullptr);
    if (s != nullptr) return s;
  }
  std::unique_ptr<BoundedReadShared> made(new (std::nothrow) BoundedReadShared);
  if (!made) return nullptr;
  made->wantChunk.reset(CreateEventA(nullptr, FALSE, FALSE, nullptr));
  made->haveChunk.reset(CreateEventA(nullptr, FALSE, FALSE, nullptr));
  if (!made->wantChunk || !made->haveChunk) return nullptr;
  ScopedKernelHandle thread(CreateThread(nullptr, 0, HelperThread, made.get(), 0, nullptr));
  if (!thread) return nullptr;
  return made.release();
}

// Tells an idle helper to end, and lets go of it.
void EndHelper(BoundedReadShared* s) {
  EnterCriticalSection(&s->lock);
  s->quit = true;
  LeaveCriticalSection(&s->lock);
  SetEvent(s->wantChunk.get());
  s->Release();
}

// An idle helper waits for the next transfer (one per transfer that may run at once is kept; another
// ends).
void ReturnHelper(BoundedReadShared* s) {
  s->buffers[0].reset();
  s->buffers[1].reset();
  s->target = nullptr;
  s->size = 0;
  for (std::atomic<BoundedReadShared*>& slot : g_idleHelpers) {
    BoundedReadShared* none = nullptr;
    if (slot.compare_exchange_strong(none, s)) return;
  }
  EndHelper(s);
}

}  // namespace

uint32_t TransferStallBoundMs() { return g_stallBoundMs.load(); }

void SetStallBoundForTest(uint32_t ms) { g_stallBoundMs.store(ms != 0 ? ms : kStallBoundMs); }

BoundedReader::BoundedReader(ScopedInternet request, DWORD bufferSize) {
  BoundedReadShared* s = TakeHelper();
  if (s == nullptr) return;  // the request is closed by its owner here
  s->buffers[0].reset(new (std::nothrow) char[bufferSize]);
  if (!s->buffers[0]) {
    ReturnHelper(s);
    return;
  }
  s->size = bufferSize;
  s->piece = kFirstPiece < bufferSize ? kFirstPiece : bufferSize;
  EnterCriticalSection(&s->lock);
  s->request = request.release();
  LeaveCriticalSection(&s->lock);
  shared_ = s;
}

BoundedReader::~BoundedReader() { Close(); }

BoundedReader::Result BoundedReader::ReadChunk(uint32_t stallBoundMs, const std::atomic<int32_t>* cancel, char** data,
                                               DWORD* got, DWORD* error) {
  *data = nullptr;
  *got = 0;
  *error = 0;
  if (shared_ == nullptr || closed_ || stalled_) {
    *error = ERROR_INVALID_HANDLE;
    return Result::kFailed;
  }
  BoundedReadShared* s = shared_;
  if (ended_) return Result::kEnd;
  if (!busy_) AskForChunk();  // else the chunk is already on its way (read ahead)
  for (;;) {
    bool cancelled = cancel != nullptr && cancel->load() != 0;
    uint32_t bound = cancelled && kCancelledStallMs < stallBoundMs ? kCancelledStallMs : stallBoundMs;
    DWORD idle = GetTickCount() - s->lastByteTick.load();
    if (idle >= bound) {
      stalled_ = true;  // busy_ stays: the helper is still inside its read
      return Result::kStalled;
    }
    DWORD slice = bound - idle;
    // Cancel is a flag, not an event: until it is pressed it is looked at every kCancelLookMs.
    if (cancel != nullptr && !cancelled && slice > kCancelLookMs) slice = kCancelLookMs;
    if (WaitForSingleObject(s->haveChunk.get(), slice) == WAIT_OBJECT_0) break;
  }
  busy_ = false;
  if (!s->ok) {
    *error = s->error;
    return Result::kFailed;
  }
  ended_ = s->ended;
  *data = s->buffers[next_].get();
  *got = s->got;
  if (s->got == 0) return Result::kEnd;
  next_ ^= 1;
  if (readAhead_ && !ended_) {
    // The second buffer is made when a transfer first needs it: a file of one chunk never does.
    if (!s->buffers[next_]) s->buffers[next_].reset(new (std::nothrow) char[s->size]);
    if (s->buffers[next_]) {
      AskForChunk();
    } else {
      next_ ^= 1;  // no memory for it: this buffer is filled again, at the next call
    }
  }
  return Result::kData;
}

// Hands the helper the next buffer to fill; the bound is counted from here or from the last byte.
void BoundedReader::AskForChunk() {
  BoundedReadShared* s = shared_;
  s->target = s->buffers[next_].get();
  s->lastByteTick.store(GetTickCount());
  busy_ = true;
  SetEvent(s->wantChunk.get());
}

bool BoundedReader::Close() {
  if (closed_) return closeOk_;
  closed_ = true;
  if (shared_ == nullptr) return closeOk_;
  BoundedReadShared* s = std::exchange(shared_, nullptr);
  EnterCriticalSection(&s->lock);
  HINTERNET h = std::exchange(s->request, nullptr);
  closeOk_ = InternetCloseHandle(h) != FALSE;
  LeaveCriticalSection(&s->lock);
  if (busy_) {
    // A stall: where closing the request ends the read, the helper is back at once.
    bool back = WaitForSingleObject(s->haveChunk.get(), kHelperBackWaitMs) == WAIT_OBJECT_0;
    if (!back) {
      EnterCriticalSection(&s->lock);
      s->abandoned = s->filling;
      LeaveCriticalSection(&s->lock);
      if (s->abandoned) {
        LogEvent("transfer given up: its read had not returned when the request was closed; it ends by itself");
        s->Release();
        return closeOk_;
      }
      // It came back just now: its hand-off follows at once.
      WaitForSingleObject(s->haveChunk.get(), INFINITE);
    }
  }
  ReturnHelper(s);
  return closeOk_;
}
