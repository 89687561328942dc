#include "web/ini_index.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "layout/ini_lines.h"
#include "web/ini_lookup.h"

namespace {

int CountLines(const char* text, int textSize) {
  IniLineCursor cursor(text, textSize);
  IniLine line;
  int n = 0;
  while (cursor.Next(&line)) ++n;
  return n;
}

}  // namespace

IniIndex::IniIndex(const char* text, int textSize, int maxLines) : text_(text), textSize_(textSize) {
  if (text == nullptr || textSize <= 0) return;
  // Counted before anything is allocated: a text over the bound costs one pass and no memory.
  int count = CountLines(text, textSize);
  if (count > maxLines) {
    plain_ = true;
    return;
  }
  try {
    Build(count);
  } catch (const std::bad_alloc&) {
    // What was allocated so far is given back; the plain lookup needs nothing.
    plain_ = true;
    std::vector<Line>().swap(lines_);
    std::vector<int>().swap(nextBracket_);
    headers_ = SortedLines();
    bodies_.clear();
  }
}

void IniIndex::Build(int count) {
  lines_.reserve(static_cast<size_t>(count));
  IniLineCursor cursor(text_, textSize_);
  IniLine line;
  while (cursor.Next(&line))
    lines_.push_back(Line{static_cast<int>(line.start - text_), line.length, line.terminated});
  int n = static_cast<int>(lines_.size());
  nextBracket_.assign(n + 1, n);
  for (int i = n - 1; i >= 0; --i)
    nextBracket_[i] = (lines_[i].length > 0 && text_[lines_[i].start] == '[') ? i : nextBracket_[i + 1];
  // A section's header always begins with '[', so only such lines can answer a header lookup.
  std::vector<int> headers;
  for (int i = 0; i < n; ++i)
    if (lines_[i].terminated && nextBracket_[i] == i) headers.push_back(i);
  headers_ = Sort(std::move(headers));
}

IniIndex::SortedLines IniIndex::Sort(std::vector<int> lines) const {
  SortedLines s;
  std::sort(lines.begin(), lines.end(), [this](int a, int b) {
    const Line& x = lines_[a];
    const Line& y = lines_[b];
    int c = memcmp(text_ + x.start, text_ + y.start, static_cast<size_t>(std::min(x.length, y.length)));
    if (c != 0) return c < 0;
    if (x.length != y.length) return x.length < y.length;
    return a < b;
  });
  size_t m = lines.size();
  s.count = m;
  s.tree.reserve(2 * m);
  s.tree.assign(m, 0);
  s.tree.insert(s.tree.end(), lines.begin(), lines.end());
  for (size_t i = m; i-- > 1;) s.tree[i] = std::min(s.tree[2 * i], s.tree[2 * i + 1]);
  return s;
}

int IniIndex::FirstWithPrefix(const SortedLines& set, const char* prefix, int n) const {
  // Lines beginning with the prefix are contiguous in sorted order: from the first line not below the
  // prefix to the first line whose first n bytes are above it.
  auto below = [&](int line) {  // line's text < prefix (as a string)
    const Line& l = lines_[line];
    int c = memcmp(text_ + l.start, prefix, static_cast<size_t>(std::min(l.length, n)));
    return c < 0 || (c == 0 && l.length < n);
  };
  auto startsWith = [&](int line) {
    const Line& l = lines_[line];
    return l.length >= n && memcmp(text_ + l.start, prefix, static_cast<size_t>(n)) == 0;
  };
  const std::vector<int>& t = set.tree;
  size_t m = set.count;
  auto first = t.begin() + static_cast<long>(m);
  size_t lo = std::partition_point(first, t.end(), below) - first;
  size_t hi = std::partition_point(first + static_cast<long>(lo), t.end(), startsWith) - first;
  if (lo >= hi) return -1;
  // Bottom-up over the minimum tree: each step takes the nodes that cover [lo, hi) only at its ends.
  int best = -1;
  auto take = [&best](int line) { best = (best < 0 || line < best) ? line : best; };
  for (lo += m, hi += m; lo < hi; lo /= 2, hi /= 2) {
    if (lo & 1) take(t[lo++]);
    if (hi & 1) take(t[--hi]);
  }
  return best;
}

size_t IniIndex::TableBytes() const {
  auto bytes = [](const SortedLines& s) { return s.tree.capacity() * sizeof(int); };
  size_t n = lines_.capacity() * sizeof(Line) + nextBracket_.capacity() * sizeof(int) + bytes(headers_);
  for (const auto& body : bodies_) n += bytes(body.second);
  return n;
}

const IniIndex::SortedLines& IniIndex::Body(int firstLine) const {
  auto it = bodies_.find(firstLine);
  if (it != bodies_.end()) return it->second;
  std::vector<int> lines;
  for (int i = firstLine; i < nextBracket_[firstLine]; ++i) lines.push_back(i);
  return bodies_.emplace(firstLine, Sort(std::move(lines))).first->second;
}

bool IniIndex::Find(const char* section, const char* key, char* value, int valueSize) const {
  if (!plain_) {
    try {
      return IndexedFind(section, key, value, valueSize);
    } catch (const std::bad_alloc&) {
      // A section's table could not be allocated: from now on every answer comes from the text itself.
      plain_ = true;
      bodies_.clear();
    }
  }
  return FindIniValue(section, key, value, valueSize, text_, textSize_);
}

bool IniIndex::IndexedFind(const char* section, const char* key, char* value, int valueSize) const {
  if (valueSize == 1) value[0] = '\0';
  if (valueSize > 1) memcpy(value, "*", 2);
  if (lines_.empty()) return false;

  char header[kMaxIniLine + 1];
  int headerLength = FormIniHeader(section, header);
  if (headerLength < 0) return false;
  int headerLine = FirstWithPrefix(headers_, header, headerLength);
  if (headerLine < 0) return false;
  if (key[0] == '\0') return true;

  size_t keyLength = strlen(key);
  if (keyLength > static_cast<size_t>(kMaxIniLine)) return false;
  int n = static_cast<int>(keyLength);
  int keyLine = FirstWithPrefix(Body(headerLine + 1), key, n);
  if (keyLine < 0) return false;

  const Line& l = lines_[keyLine];
  CopyIniValue(text_ + l.start, l.length, n, value, valueSize);
  return true;
}
