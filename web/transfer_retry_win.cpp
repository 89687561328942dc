#include "web/transfer_retry_win.h"

#include <windows.h>

#include "base/resource_text_win.h"
#include "base/sizes.h"
#include "res/resource.h"  // the retry texts of the status field
#include "state/install_state_win.h"
#include "web/network_texts.h"

namespace {

uint32_t NextRandom() {
  // Jitter only: spreads the waits of many clients; not a secret. Shared by every transfer of the
  // process, whichever thread asks.
  static thread_local uint32_t state = 0;
  if (state == 0) {
    LARGE_INTEGER c;
    QueryPerformanceCounter(&c);
    state = static_cast<uint32_t>(c.QuadPart) ^ GetCurrentThreadId() ^ 0x9E3779B9u;
    if (state == 0) state = 1;
  }
  state ^= state << 13;
  state ^= state >> 17;
  state ^= state << 5;
  return state;
}

void ShowRetry(WebDisplay& display, UINT formatId, int attempt, uint32_t secondsLeft, const char* status) {
  char text[kTextSize];
  FormatRetryStatus(LoadResourceText(g_state.windows.instance, formatId).c_str(), attempt, kMaxAttempts, secondsLeft,
                    status, text, sizeof text);
  display.ShowStatus(text);
}

// Waits before the next attempt, showing it in the status field; false as soon as Cancel is pressed.
bool WaitBeforeRetry(WebDisplay& display, uint32_t delayMs, int nextAttempt, const char* status) {
  DWORD start = GetTickCount();
  uint32_t shownSeconds = 0xFFFFFFFFu;
  for (;;) {
    if (g_state.flags.cancelRequested.load() != 0) return false;
    DWORD elapsed = GetTickCount() - start;
    if (elapsed >= delayMs) return true;
    uint32_t left = (delayMs - elapsed + 999) / 1000;
    if (left != shownSeconds) {
      shownSeconds = left;
      ShowRetry(display, left > 0 ? IDS_RETRY_WAIT : IDS_RETRY, nextAttempt, left, status);
    }
    // Short slices: Cancel ends the wait at once.
    Sleep(delayMs - elapsed < 50 ? delayMs - elapsed : 50);
  }
}

}  // namespace

RetryOutcome RunAttempts(WebDisplay& display, const char* status, const AttemptFunction& attempt,
                         const FailedAttemptFunction& failed) {
  RetryOutcome outcome;
  for (int n = 1;; ++n) {
    if (n > 1) ShowRetry(display, IDS_RETRY, n, 0, status);
    outcome.attempts = n;
    outcome.last = attempt(n);
    const AttemptResult& r = outcome.last;
    if (r.fault == TransferFault::kNone) {
      if (n > 1) display.ShowStatus(status);
      outcome.end = RetryEnd::kSucceeded;
      return outcome;
    }
    const bool transient = IsTransientFault(r.fault, r.status);
    const bool again = transient && n < kMaxAttempts;
    const uint32_t delay = again ? RetryDelayMs(n, r.haveRetryAfter, r.retryAfterMs, NextRandom()) : 0;
    failed(n, r, transient, again);
    if (!transient) {
      outcome.end = RetryEnd::kFinal;
      return outcome;
    }
    if (!again || !WaitBeforeRetry(display, delay, n + 1, status)) {
      outcome.end = RetryEnd::kGaveUp;
      return outcome;
    }
  }
}
