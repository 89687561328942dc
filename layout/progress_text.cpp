#include "layout/progress_text.h"

#include <climits>
#include <cstdio>

double ProgressRatio(int64_t bytesDone, int64_t overallTotal) {
  if (overallTotal == 0) return 0.0;
  return static_cast<double>(bytesDone) * 1000.0 / static_cast<double>(overallTotal);
}

int ProgressPosition(double ratio) {
  // Converting a double outside the int range is undefined; the bar clamps to its range anyway.
  if (ratio != ratio) return 0;  // NaN
  if (ratio <= static_cast<double>(INT_MIN)) return INT_MIN;
  if (ratio >= static_cast<double>(INT_MAX)) return INT_MAX;
  return static_cast<int>(ratio);
}

void FormatPercent(double ratio, char* text, size_t textSize) {
  snprintf(text, textSize, "%5.1f%%", ratio * 100.0 / 1000.0);
}

const char* ActivityFrame(int index) {
  static const char* const frames[kActivityFrameCount] = {"|", "/", "-", "\\", ""};
  int i = index % kActivityFrameCount;
  if (i < 0) i += kActivityFrameCount;
  return frames[i];
}
