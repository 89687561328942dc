#include "install/directories.h"

#include <cstring>

#include "base/text.h"

namespace {

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

// A path component of dots and blanks only: "." and ".." move through the tree, and Windows strips
// trailing dots and blanks from a component, which turns longer runs into one of those two.
bool IsDotsOnly(const char* begin, const char* end) {
  if (begin == end) return false;
  bool dot = false;
  for (const char* p = begin; p != end; ++p) {
    if (*p == '.') {
      dot = true;
    } else if (*p != ' ') {
      return false;
    }
  }
  return dot;
}

bool Fail(char* out, size_t outSize) {
  if (outSize > 0) out[0] = '\0';
  return false;
}

}  // namespace

bool IsPlainFolderName(const char* name) {
  if (name[0] == '\0') return false;
  for (const char* p = name; *p; ++p) {
    if (IsSeparator(*p) || *p == ':') return false;
  }
  return !IsDotsOnly(name, name + strlen(name));
}

bool BuildRootFolderPath(char* out, size_t outSize, int32_t targetDrive, const char* rootName) {
  if (targetDrive < 1 || targetDrive > 26 || !IsPlainFolderName(rootName)) return Fail(out, outSize);
  const char drive[4] = {static_cast<char>(64 + targetDrive), ':', '\\', '\0'};
  if (!CopyText(out, outSize, drive) || !AppendText(out, outSize, rootName)) return Fail(out, outSize);
  return true;
}

bool BuildSubfolderPath(char* out, size_t outSize, const char* rootFolder, const char* value) {
  if (value[0] != '\\') return Fail(out, outSize);
  const char* begin = value;
  for (const char* p = value;; ++p) {
    if (*p == '\0' || IsSeparator(*p)) {
      if (IsDotsOnly(begin, p)) return Fail(out, outSize);
      if (*p == '\0') break;
      begin = p + 1;
    }
  }
  if (!CopyText(out, outSize, rootFolder) || !AppendText(out, outSize, value)) return Fail(out, outSize);
  return true;
}
