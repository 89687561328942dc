// When a file of the set is fetched again after a failed attempt, and how long the installer waits
// first. Pure decisions; the download carries them out.
#pragma once
#include <cstdint>

// What ended one attempt at a file.
enum class TransferFault {
  kNone,
  kConnectFailed,  // the request could not be made or answered: connection refused or reset
  kReadFailed,     // a read call failed in the middle of the body
  kCutBody,        // the body ended before the announced length
  kStalled,        // no byte arrived for kStallBoundMs
  kHttpStatus,     // the final status was not a usable answer (see the status)
  kBadAnswer,      // a usable status without a usable length
  kRangeMismatch,  // a range answer that does not fit what was asked: the whole file is fetched next
  kLocal,          // the staging file could not be created or written, or no buffer
  kHashMismatch,   // every byte arrived, but they are not the file the set describes
};

// How one attempt at a file ended: its fault, the final status (0: no answer) and the server's Retry-After.
struct AttemptResult {
  TransferFault fault = TransferFault::kNone;
  int64_t status = 0;
  bool haveRetryAfter = false;
  uint32_t retryAfterMs = 0;
};

// The attempts at one file, the first one included.
constexpr int kMaxAttempts = 5;
// An attempt that receives no byte for this long counts as failed: the platform's own time-outs can be
// infinite when a server accepts a request and then sends nothing.
constexpr uint32_t kStallBoundMs = 60000;
// A server's Retry-After is honoured up to this wait; a longer one is cut to it.
constexpr uint32_t kMaxRetryAfterMs = 60000;

// 408, 429, 500, 502, 503, 504: the server says it may work a moment later.
bool IsTransientStatus(int64_t status);

// Whether another attempt may succeed where this one failed. Never for a status the server means
// (403, 404, 410 ...), a hash mismatch (the server holds other bytes than the set says), an answer the
// server will give again (no length) or a local failure (the disk will not get better by waiting).
bool IsTransientFault(TransferFault fault, int64_t status);

// The wait before the next attempt after failedAttempts failures (1 .. kMaxAttempts - 1): about 1, 2, 4
// and 8 seconds, each spread by up to a quarter either way by `random` (any 32-bit value), so that many
// clients refused at once do not come back at once.
uint32_t BackoffDelayMs(int failedAttempts, uint32_t random);

// An HTTP date in any of the three forms a server may send ("Sun, 06 Nov 1994 08:49:37 GMT", "Sunday,
// 06-Nov-94 08:49:37 GMT", "Sun Nov  6 08:49:37 1994") as seconds since 1970. false when it is none of them.
bool ParseHttpDate(const char* text, int64_t* unixSeconds);

// A Retry-After value: delta seconds ("120") or an HTTP date, taken relative to nowUnixSeconds (a date
// in the past gives 0). Cut to kMaxRetryAfterMs. false when the value is neither form.
bool ParseRetryAfter(const char* value, int64_t nowUnixSeconds, uint32_t* delayMs);

// The wait before the next attempt: the server's Retry-After when it gave one, else the backoff.
uint32_t RetryDelayMs(int failedAttempts, bool haveRetryAfter, uint32_t retryAfterMs, uint32_t random);

// Whether a WinINet error is a failure of the HTTPS host's certificate (untrusted root, wrong name,
// expired or not yet valid, revoked, otherwise invalid): then an English name of the problem for the
// log, else nullptr (refused, reset, time-out, no TLS version in common: a connection failure).
const char* CertificateProblem(unsigned long winInetError);
