// The server's resume headers (Content-Range, Retry-After, HTTP dates): never read past the text, and a
// parsed range is consistent (first <= last < total) and printed back, reads the same again; a wait is
// never longer than sixty seconds.
#include <cinttypes>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include "fuzz_common.h"
#include "web/range_resume.h"
#include "web/retry_policy.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string range = TakeField(data, size);
  std::string retry = TakeField(data, size);
  ContentRange r{};
  if (ParseContentRange(range.c_str(), &r)) {
    if (r.last < r.first || (r.totalKnown && r.last >= r.total)) __builtin_trap();
    char again[96];
    if (r.totalKnown) {
      snprintf(again, sizeof again, "bytes %" PRIu64 "-%" PRIu64 "/%" PRIu64, r.first, r.last, r.total);
    } else {
      snprintf(again, sizeof again, "bytes %" PRIu64 "-%" PRIu64 "/*", r.first, r.last);
    }
    ContentRange s{};
    if (!ParseContentRange(again, &s) || s.first != r.first || s.last != r.last || s.total != r.total) {
      __builtin_trap();
    }
  }
  uint32_t ms = 0;
  if (ParseRetryAfter(retry.c_str(), 1796908077, &ms) && ms > kMaxRetryAfterMs) __builtin_trap();
  int64_t when = 0;
  ParseHttpDate(retry.c_str(), &when);
  return 0;
}
