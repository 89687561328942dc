#include "layout/path_segments.h"

int DotsOfDotsOnlySegment(const char* begin, const char* end) {
  int dots = 0;
  for (const char* p = begin; p < end; ++p) {
    if (*p == '.') {
      ++dots;
    } else if (*p != ' ') {
      return -1;
    }
  }
  return dots;
}

bool ContainsParentSegment(const char* path) {
  if (path == nullptr) return false;
  const char* segment = path;
  for (const char* p = path;; ++p) {
    if (*p == '\0' || IsPathSeparator(*p)) {
      if (DotsOfDotsOnlySegment(segment, p) >= 2) return true;
      if (*p == '\0') return false;
      segment = p + 1;
    }
  }
}
