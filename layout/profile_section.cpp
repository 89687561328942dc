#include "layout/profile_section.h"

#include <algorithm>
#include <cstring>

namespace {

unsigned char FoldAscii(unsigned char c) { return (c >= 'A' && c <= 'Z') ? static_cast<unsigned char>(c - 'A' + 'a') : c; }

// Folded comparison of two byte strings: <0, 0, >0.
int CompareFolded(const char* a, size_t an, const char* b, size_t bn) {
  const size_t n = std::min(an, bn);
  for (size_t i = 0; i < n; ++i) {
    const unsigned char x = FoldAscii(static_cast<unsigned char>(a[i]));
    const unsigned char y = FoldAscii(static_cast<unsigned char>(b[i]));
    if (x != y) return x < y ? -1 : 1;
  }
  return an == bn ? 0 : (an < bn ? -1 : 1);
}

}  // namespace

ProfileSection::ProfileSection(std::vector<char> entries) : text_(std::move(entries)) {
  const size_t size = text_.size();
  size_t pos = 0;
  while (pos < size && text_[pos] != '\0') {
    const char* start = text_.data() + pos;
    size_t n = 0;
    while (pos + n < size && start[n] != '\0') ++n;
    const char* eq = static_cast<const char*>(memchr(start, '=', n));
    const size_t keyLength = eq ? static_cast<size_t>(eq - start) : n;
    index_.push_back({static_cast<uint32_t>(pos), static_cast<uint32_t>(keyLength), static_cast<uint32_t>(n)});
    pos += n + 1;
  }
  const char* text = text_.data();
  std::stable_sort(index_.begin(), index_.end(), [text](const Entry& a, const Entry& b) {
    return CompareFolded(text + a.start, a.keyLength, text + b.start, b.keyLength) < 0;
  });
}

int ProfileSection::CompareKey(const Entry& e, const char* key, size_t keyLength) const {
  return CompareFolded(text_.data() + e.start, e.keyLength, key, keyLength);
}

bool ProfileSection::Find(const char* key, char* out, size_t outSize) const {
  const size_t keyLength = strlen(key);
  auto it = std::lower_bound(index_.begin(), index_.end(), key,
                             [&](const Entry& e, const char* k) { return CompareKey(e, k, keyLength) < 0; });
  // The first line with the key decides, even when it has no "=" (then the key counts as absent).
  if (it == index_.end() || CompareKey(*it, key, keyLength) != 0 || it->length == it->keyLength) return false;
  CopyProfileValue(text_.data() + it->start + it->keyLength + 1, it->length - it->keyLength - 1, out, outSize);
  return true;
}

void CopyProfileValue(const char* raw, size_t rawLength, char* out, size_t outSize) {
  if (outSize == 0) return;
  size_t from = 0;
  bool quoted = false;
  // A quote at the start, at least one more character, and the same quote at the end.
  if (rawLength >= 2 && (raw[0] == '"' || raw[0] == '\'') && raw[rawLength - 1] == raw[0]) {
    quoted = true;
    from = 1;
  }
  const size_t rest = rawLength - from;
  size_t take = std::min(rest, outSize - 1);
  memcpy(out, raw + from, take);
  // The closing quote goes only when the whole rest fits the output (the platform then drops the last
  // byte copied, which is one byte of text when the rest is exactly outSize long).
  if (quoted && outSize >= rest && take > 0) --take;
  out[take] = '\0';
}
