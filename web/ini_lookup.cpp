#include "web/ini_lookup.h"

#include <cstring>

#include "layout/ini_lines.h"

namespace {

// "*" means absent to every caller; a one-byte buffer can only hold the empty text.
void SetAbsent(char* value, int valueSize) {
  if (valueSize <= 0) return;
  if (valueSize == 1) {
    value[0] = '\0';
    return;
  }
  value[0] = '*';
  value[1] = '\0';
}

}  // namespace

bool FindIniValue(const char* section, const char* key, char* value, int valueSize, const char* text,
                  int textSize) {
  SetAbsent(value, valueSize);
  if (textSize <= 0 || text == nullptr) return false;

  // The header is compared against lines cut to 255 bytes, so a longer header can never match.
  char header[kMaxIniLine + 1];
  int headerLength = FormIniHeader(section, header);
  if (headerLength < 0) return false;

  IniLineCursor cursor(text, textSize);
  IniLine line;
  bool inSection = false;
  // Only lines ended by CR LF can be the section's header line.
  while (cursor.Next(&line)) {
    if (line.terminated && IniLineBeginsWith(line, header, headerLength)) {
      inSection = true;
      break;
    }
  }
  if (!inSection) return false;
  if (key[0] == '\0') return true;

  size_t keyLength = strlen(key);
  if (keyLength > static_cast<size_t>(kMaxIniLine)) return false;
  int n = static_cast<int>(keyLength);
  // The key may stand on the last line even when that line has no CR LF.
  while (cursor.Next(&line)) {
    if (line.length > 0 && line.start[0] == '[') return false;
    if (!IniLineBeginsWith(line, key, n)) continue;

    CopyIniValue(line.start, line.length, n, value, valueSize);
    return true;
  }
  return false;
}
