#include "install/registry.h"

#include <cstdio>

#include "base/text.h"

bool BuildRecordKeyPath(const char* cadSystem, char* out, size_t size) {
  return CopyText(out, size, kRecordKeyPrefix) && AppendText(out, size, cadSystem);
}

bool FormatInstalledTime(int year, int month, int day, int hour, int minute, int second, char* out,
                         size_t size) {
  if (size == 0) return false;
  int n = snprintf(out, size, "%d.%02d.%02d. %02d:%02d:%02d", year, month, day, hour, minute, second);
  return n >= 0 && static_cast<size_t>(n) < size;
}
