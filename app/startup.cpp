#include "app/startup.h"

#include <cstring>

WindowPlacement MainWindowPlacement(int screenWidth, int screenHeight, int bitmapWidth, int bitmapHeight,
                                    int dialogFrame) {
  WindowPlacement p;
  p.width = bitmapWidth + 2 * dialogFrame;
  p.height = bitmapHeight + 2 * dialogFrame;
  p.x = (screenWidth - p.width) / 2;  // truncates toward zero, also for negative differences
  p.y = (screenHeight - p.height) / 2;
  return p;
}

bool StoreWindowsFolder(char* dst, size_t size, const char* value) {
  if (size == 0) return false;
  dst[0] = '\0';
  if (value == nullptr) return false;
  size_t n = strnlen(value, size);
  if (n >= size) return false;
  while (n > 0 && value[n - 1] == '\\') --n;
  memcpy(dst, value, n);
  dst[n] = '\0';
  return true;
}
