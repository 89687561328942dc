// An index over INI text held in memory that answers exactly what FindIniValue answers, in logarithmic
// time per lookup instead of a scan from the start of the text.
//
// FindIniValue rescans the text for every key, so reading a file list of n numbered keys costs n scans:
// quadratic in the list's length. The download looks up every File%i of every part; with thousands of
// files that dominates. The index is built once per text (one pass over its lines plus a sort) and keeps
// the lookup's exact rules: the first CR LF-ended line beginning with "[section]" is the header, the key's
// line is the first line of the section (up to the next line beginning with "[") that begins with the key
// (so File1 still matches a File10 line that comes first), lines cut to 255 bytes, CR LF only.
//
// The index is bounded: it costs about 40 bytes per line (the line table, and the sorted table of every
// section looked up; the table of section headers holds only the lines beginning with '['), so a hostile
// list of millions of empty lines would still take tens of megabytes, and in a 32-bit process could end
// in an allocation failure. A text of more than maxLines lines is not indexed, and neither is one whose
// index cannot be allocated: Find then answers with the plain lookup (the same answers, each a scan of the
// text). No exception leaves the index.
#pragma once
#include <cstddef>
#include <map>
#include <vector>

class IniIndex {
 public:
  // 131,072 lines: the index then stays below about 6 MB; a real file list has a line per file.
  static constexpr int kMaxIndexedLines = 1 << 17;

  // The text must outlive the index; it is never modified.
  IniIndex(const char* text, int textSize, int maxLines = kMaxIndexedLines);

  // Same contract as FindIniValue.
  bool Find(const char* section, const char* key, char* value, int valueSize) const;

  // False when the text was too long for the index or its tables could not be allocated: every Find is
  // then a plain lookup.
  bool indexed() const { return !plain_; }

  // The bytes the index's tables hold now (the text itself not counted).
  size_t TableBytes() const;

 private:
  struct Line {
    int start;
    int length;  // cut to 255
    bool terminated;
  };
  // A set of lines sorted by their text, with a minimum tree answering "the earliest line among the
  // sorted positions [a, b)" in logarithmic time.
  struct SortedLines {
    size_t count = 0;
    // tree[count + i]: the line numbers sorted by text, then by number; tree[i] (0 < i < count): the
    // smaller of tree[2i] and tree[2i + 1].
    std::vector<int> tree;
  };

  void Build(int count);
  SortedLines Sort(std::vector<int> lines) const;
  // The earliest line of `set` whose text begins with the n bytes of prefix; -1 when none.
  int FirstWithPrefix(const SortedLines& set, const char* prefix, int n) const;
  const SortedLines& Body(int firstLine) const;

  bool IndexedFind(const char* section, const char* key, char* value, int valueSize) const;

  const char* text_;
  int textSize_;
  mutable bool plain_ = false;  // answer with the plain lookup (set at most once, never cleared)
  std::vector<Line> lines_;
  std::vector<int> nextBracket_;  // nextBracket_[i]: first line >= i beginning with '[' (or lines_.size())
  SortedLines headers_;           // every CR LF-ended line
  mutable std::map<int, SortedLines> bodies_;  // built on first use, keyed by the body's first line
};
