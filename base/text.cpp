#include "base/text.h"

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
