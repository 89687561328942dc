// The attempts at one file of the set: the one loop every fetch of the download goes through (Sign.ini,
// the file lists, every file), with web/retry_policy.h deciding what is tried again and how long to wait.
#pragma once
#include <cstdint>
#include <functional>

#include "ui/web_display_win.h"
#include "web/retry_policy.h"

// How the attempts ended.
enum class RetryEnd {
  kSucceeded,  // an attempt ended without a fault
  kFinal,      // a fault another attempt would not mend (web/retry_policy.h's IsTransientFault)
  kGaveUp,     // kMaxAttempts failed, or Cancel was pressed while waiting for the next one
};

struct RetryOutcome {
  RetryEnd end = RetryEnd::kGaveUp;
  AttemptResult last;  // the last attempt's result
  int attempts = 0;    // attempts made
};

// Makes attempt(n) for n = 1, 2, ... until one succeeds, its fault is not transient or kMaxAttempts are
// spent. From the second attempt on, the status field shows the retry ("status" being the file's own
// status text, shown again after a retry succeeded); between attempts it waits the retry policy's delay
// (the server's Retry-After or the backoff), counting the seconds down, and a Cancel ends the wait at
// once. failed(n, result, transient, again) is told of every failed attempt (for the log): transient
// when another attempt could mend it, again when one follows.
using AttemptFunction = std::function<AttemptResult(int attempt)>;
using FailedAttemptFunction = std::function<void(int attempt, const AttemptResult& result, bool transient, bool again)>;
RetryOutcome RunAttempts(WebDisplay& display, const char* status, const AttemptFunction& attempt,
                         const FailedAttemptFunction& failed);
