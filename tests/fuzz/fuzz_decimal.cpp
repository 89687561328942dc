// Number conversion by the description's rules: never overflows (UBSan watches), agrees with a slow
// reference on every text.
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz_common.h"
#include "base/text.h"

static int64_t Reference(const std::string& s) {
  size_t i = 0;
  while (i < s.size() && (s[i] == ' ' || s[i] == '\t')) ++i;
  bool neg = false;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) neg = s[i++] == '-';
  __int128 v = 0;
  for (; i < s.size() && s[i] >= '0' && s[i] <= '9'; ++i) {
    v = v * 10 + (s[i] - '0');
    if (v > INT64_MAX) v = INT64_MAX;  // saturates in magnitude
  }
  return (int64_t)(neg ? -v : v);
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string s = TakeField(data, size);
  int64_t got = ParseDecimal(s.c_str());
  if (got != Reference(s)) __builtin_trap();
  return 0;
}
