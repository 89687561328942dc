// Answers of the platform's per-key profile reader (GetPrivateProfileStringA) from one whole-section
// read (GetPrivateProfileSectionA) of the same file, so that a list of thousands of numbered keys costs
// one platform call instead of one call per key.
//
// The section buffer is a sequence of NUL-terminated entries ending with an empty one: "key=value" for
// a line with "=", the key alone for a line without one (comments and blank lines are not in it). The
// platform has already trimmed blanks around keys and values. A lookup then gives what the per-key
// reader gives:
//   - the first entry whose key equals the wanted key, letters compared without case;
//   - an entry without "=" counts as absent (the per-key reader returns its default for it);
//   - a value enclosed in a matching pair of quotes (' or ") loses them; when the value does not fit the
//     output, the closing quote stays and the text is cut like any other;
//   - the text is cut to outSize - 1 bytes.
// Keys are compared folding ASCII letters only: the callers look up ASCII keys ("File12"), and no code
// page 1250 character folds to an ASCII letter.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

class ProfileSection {
 public:
  // Takes the buffer as the platform filled it: the entries and their closing empty entry; a buffer
  // without that closing entry is read up to its size. The index holds 12 bytes per entry beside it.
  explicit ProfileSection(std::vector<char> entries);
  ProfileSection(const char* entries, size_t size) : ProfileSection(std::vector<char>(entries, entries + size)) {}

  // true and the value (as the per-key reader returns it) when the key has a value; false otherwise, and
  // out is left unchanged. outSize must be at least 1. Logarithmic in the number of entries.
  bool Find(const char* key, char* out, size_t outSize) const;

  size_t entryCount() const { return index_.size(); }

 private:
  struct Entry {
    uint32_t start;      // first byte of the entry in text_
    uint32_t keyLength;  // bytes of the key
    uint32_t length;     // bytes of the whole entry; length == keyLength: no "="
  };
  int CompareKey(const Entry& e, const char* key, size_t keyLength) const;

  std::vector<char> text_;
  std::vector<Entry> index_;  // sorted by folded key, then by position: the first of equal keys first
};

// The value as the per-key reader copies it (quotes of a matching pair removed, cut to outSize - 1).
void CopyProfileValue(const char* raw, size_t rawLength, char* out, size_t outSize);
