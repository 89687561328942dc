#include "install/fonts.h"

#include <cstring>

#include "base/text.h"

bool IsFontFileInsideFontsFolder(const char* fontFile) {
  if (fontFile[0] == '\0' || fontFile[0] == '\\' || fontFile[0] == '/') return false;
  if (strchr(fontFile, ':') != nullptr) return false;
  // Look at every component between separators: only a component that is exactly ".." climbs out
  // (a name such as "a..b.ttf" is harmless).
  const char* p = fontFile;
  while (*p) {
    size_t n = strcspn(p, "\\/");
    if (n == 2 && p[0] == '.' && p[1] == '.') return false;
    p += n;
    if (*p) ++p;
  }
  return true;
}

bool BuildFontPath(const char* windowsFolder, const char* fontFile, char* out, size_t size) {
  if (size > 0) out[0] = '\0';
  if (!IsFontFileInsideFontsFolder(fontFile)) return false;
  return CopyText(out, size, windowsFolder) && AppendText(out, size, "\\Fonts\\") &&
         AppendText(out, size, fontFile);
}
