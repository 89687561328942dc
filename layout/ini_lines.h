// Line walking over INI text held in memory, shared by the INI lookup and the server probe.
// Only the pair CR LF ends a line; a lone CR or LF is ordinary text. Every line is cut to its first
// kMaxIniLine bytes for comparisons and values. The text is never terminated and never modified.
#pragma once

constexpr int kMaxIniLine = 255;

struct IniLine {
  const char* start;  // first byte of the line
  int length;         // bytes taken part in comparisons: at most kMaxIniLine
  bool terminated;    // true when CR LF follows the line; false for a last line without line end
};

class IniLineCursor {
 public:
  IniLineCursor(const char* text, int size) : text_(text), size_(size > 0 ? size : 0) {}

  // Moves to the next line. Returns false when the text is used up. A text ending in CR LF has no
  // further (empty) line after it.
  bool Next(IniLine* line) {
    if (pos_ >= size_) return false;
    int end = pos_;
    while (end + 1 < size_ && !(text_[end] == '\r' && text_[end + 1] == '\n')) ++end;
    bool terminated = end + 1 < size_;
    if (!terminated) end = size_;  // no CR LF up to the end: the rest is the last line
    int full = end - pos_;
    line->start = text_ + pos_;
    line->length = full < kMaxIniLine ? full : kMaxIniLine;
    line->terminated = terminated;
    pos_ = terminated ? end + 2 : size_;
    return true;
  }

 private:
  const char* text_;
  int size_;
  int pos_ = 0;
};

// True when the (cut) line begins with the n bytes of prefix.
inline bool IniLineBeginsWith(const IniLine& line, const char* prefix, int n) {
  if (line.length < n) return false;
  for (int i = 0; i < n; ++i) {
    if (line.start[i] != prefix[i]) return false;
  }
  return true;
}

// The value of a key's line (the key's first n bytes already matched): from the first "=" at or after
// the key, with exactly one blank after it dropped, to the end of the (cut) line; a line without "="
// gives an empty value. Clears the whole value buffer first, as the installer's readers expect.
inline void CopyIniValue(const char* line, int length, int n, char* value, int valueSize) {
  int from = n;
  while (from < length && line[from] != '=') ++from;
  int valueStart = from < length ? from + 1 : length;
  if (valueStart < length && line[valueStart] == ' ') ++valueStart;
  if (valueSize <= 0) return;
  for (int i = 0; i < valueSize; ++i) value[i] = '\0';
  int valueLength = length - valueStart;
  int take = valueLength < valueSize - 1 ? valueLength : valueSize - 1;
  for (int i = 0; i < take; ++i) value[i] = line[valueStart + i];
}

// "[" + section + "]" into header (kMaxIniLine + 1 bytes). Returns its length, or -1 when it is longer
// than a line can be compared: such a header can never match a (cut) line.
inline int FormIniHeader(const char* section, char* header) {
  int n = 0;
  while (section[n] != '\0') {
    if (n + 2 > kMaxIniLine) return -1;
    ++n;
  }
  if (n + 2 > kMaxIniLine) return -1;
  header[0] = '[';
  for (int i = 0; i < n; ++i) header[i + 1] = section[i];
  header[n + 1] = ']';
  return n + 2;
}

