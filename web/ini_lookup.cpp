#include "web/ini_lookup.h"

#include <cstring>

#include "web/ini_lines.h"

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

  // The header is compared against lines cut to 255 bytes, so a longer header can never match; it need
  // not be formed at all then.
  size_t sectionLength = strlen(section);
  if (sectionLength + 2 > static_cast<size_t>(kMaxIniLine)) return false;
  char header[kMaxIniLine + 1];
  header[0] = '[';
  memcpy(header + 1, section, sectionLength);
  header[sectionLength + 1] = ']';
  int headerLength = static_cast<int>(sectionLength) + 2;

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

    int from = n;
    while (from < line.length && line.start[from] != '=') ++from;
    int valueStart = from < line.length ? from + 1 : line.length;  // no "=": empty value
    if (valueStart < line.length && line.start[valueStart] == ' ') ++valueStart;
    int valueLength = line.length - valueStart;

    if (valueSize <= 0) return true;
    memset(value, 0, static_cast<size_t>(valueSize));
    int take = valueLength < valueSize - 1 ? valueLength : valueSize - 1;
    memcpy(value, line.start + valueStart, static_cast<size_t>(take));
    return true;
  }
  return false;
}
