#include "base/text.h"

#include <cstdint>
#include <cstring>

bool CopyText(char* dst, size_t dstSize, const char* src) {
  if (dstSize == 0) return src[0] == '\0';
  dst[0] = '\0';
  return AppendText(dst, dstSize, src);
}

bool AppendText(char* dst, size_t dstSize, const char* src) {
  if (dstSize == 0) return src[0] == '\0';
  size_t used = strnlen(dst, dstSize - 1);
  size_t room = dstSize - 1 - used;
  size_t n = strlen(src);
  size_t take = n < room ? n : room;
  memcpy(dst + used, src, take);
  dst[used + take] = '\0';
  return take == n;
}

bool StartsWith(const char* text, const char* prefix) {
  return strncmp(text, prefix, strlen(prefix)) == 0;
}

int64_t ParseDecimal(const char* text) {
  const char* p = text;
  while (*p == ' ' || *p == '\t') ++p;
  bool negative = false;
  if (*p == '+' || *p == '-') negative = *p++ == '-';
  int64_t value = 0;
  for (; *p >= '0' && *p <= '9'; ++p) {
    int digit = *p - '0';
    if (value > (INT64_MAX - digit) / 10) {
      value = INT64_MAX;
      while (*p >= '0' && *p <= '9') ++p;
      break;
    }
    value = value * 10 + digit;
  }
  return negative ? -value : value;
}

std::string FillText(const char* format, std::initializer_list<std::string> values) {
  std::string out;
  auto next = values.begin();
  for (const char* p = format != nullptr ? format : ""; *p != '\0'; ++p) {
    if (p[0] == '%' && (p[1] == 's' || p[1] == 'd')) {
      if (next != values.end()) out += *next++;
      ++p;
    } else if (p[0] == '%' && p[1] == '%') {
      out += '%';
      ++p;
    } else {
      out += *p;
    }
  }
  return out;
}
