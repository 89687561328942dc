#include "install/fonts.h"

#include <cstring>

#include "base/text.h"
#include "layout/description.h"

bool IsFontFileInsideFontsFolder(const char* fontFile) {
  if (fontFile[0] == '\0' || fontFile[0] == '\\' || fontFile[0] == '/') return false;
  if (strchr(fontFile, ':') != nullptr) return false;
  return !ContainsParentSegment(fontFile);
}

bool BuildFontPath(const char* windowsFolder, const char* fontFile, char* out, size_t size) {
  if (size > 0) out[0] = '\0';
  if (!IsFontFileInsideFontsFolder(fontFile)) return false;
  return CopyText(out, size, windowsFolder) && AppendText(out, size, "\\Fonts\\") &&
         AppendText(out, size, fontFile);
}
