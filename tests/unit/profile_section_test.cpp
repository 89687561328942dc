// ProfileSection over hand-made section buffers (the platform's own answers are compared under Wine in
// tests/win/profile_section_test.cpp).
#include "layout/profile_section.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// Entries joined by NULs, with the closing empty entry.
std::string Buffer(std::initializer_list<const char*> entries) {
  std::string s;
  for (const char* e : entries) s += std::string(e) + '\0';
  return s + '\0';
}

struct LookupCase {
  const char* key;
  size_t outSize;
  bool found;
  const char* value;
};

TEST(ProfileSectionTest, Lookups) {
  const std::string b = Buffer({"File1=first", "FILE1=second", "File2", "File2=late", "File3=\"quoted\"",
                                "File4='x'", "File5=\"", "File6=\"\"", "File7=a=b", "File8=", "File9=\"abcd\"",
                                "file10=lower"});
  const ProfileSection section(b.data(), b.size());
  EXPECT_EQ(section.entryCount(), 12u);
  const LookupCase cases[] = {
      {"File1", 256, true, "first"},   // the first of equal keys
      {"file1", 256, true, "first"},   // letters without case
      {"File2", 256, false, ""},       // its first line has no "=": absent
      {"File3", 256, true, "quoted"},  // a matching pair of quotes goes
      {"File4", 256, true, "x"},
      {"File5", 256, true, "\""},      // a lone quote stays
      {"File6", 256, true, ""},
      {"File7", 256, true, "a=b"},
      {"File8", 256, true, ""},
      {"File9", 4, true, "abc"},       // cut: the closing quote would stay, but is past the cut
      {"File9", 5, true, "abc"},       // rest "abcd\"" is 5: fits the size, the last byte goes
      {"File9", 6, true, "abcd"},
      {"File1", 3, true, "fi"},
      {"File1", 1, true, ""},
      {"FILE10", 256, true, "lower"},
      {"File11", 256, false, ""},
      {"File", 256, false, ""},        // no prefix match
  };
  for (const LookupCase& c : cases) {
    char out[256] = "unchanged";
    EXPECT_EQ(section.Find(c.key, out, c.outSize), c.found) << c.key;
    EXPECT_STREQ(out, c.found ? c.value : "unchanged") << c.key << " size " << c.outSize;
  }
}

TEST(ProfileSectionTest, EmptyAndUnterminatedBuffers) {
  const ProfileSection empty("\0", 1);
  char out[16] = "x";
  EXPECT_FALSE(empty.Find("File1", out, sizeof out));
  const ProfileSection none(nullptr, 0);
  EXPECT_FALSE(none.Find("File1", out, sizeof out));
  const char cut[] = {'F', 'i', 'l', 'e', '1', '=', 'a', 'b'};  // no NUL at all: read up to the size
  const ProfileSection unterminated(cut, sizeof cut);
  EXPECT_TRUE(unterminated.Find("File1", out, sizeof out));
  EXPECT_STREQ(out, "ab");
}

}  // namespace
