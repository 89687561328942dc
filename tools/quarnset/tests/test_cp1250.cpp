#include <gtest/gtest.h>

#include "cp1250.h"

namespace quarnset {
namespace {

TEST(Cp1250, HungarianLettersBothWays) {
  std::string bytes;
  size_t bad = 0;
  ASSERT_TRUE(Utf8ToCp1250("őű áé ŐŰ ÁÉ Súgó €", &bytes, &bad));
  EXPECT_EQ(bytes, "\xF5\xFB \xE1\xE9 \xD5\xDB \xC1\xC9 S\xFAg\xF3 \x80");
  EXPECT_EQ(Cp1250ToUtf8(bytes), "őű áé ŐŰ ÁÉ Súgó €");
}

TEST(Cp1250, RefusesWhatTheCodePageCannotHold) {
  std::string bytes;
  size_t bad = 0;
  EXPECT_FALSE(Utf8ToCp1250("ab\xE2\x9C\x93", &bytes, &bad));  // a check mark
  EXPECT_EQ(bad, 2u);
  EXPECT_FALSE(Utf8ToCp1250("x\xC3", &bytes, &bad));  // cut sequence
  EXPECT_EQ(bad, 1u);
  EXPECT_FALSE(Utf8ToCp1250("\xC0\x80", &bytes, &bad));  // overlong NUL
  EXPECT_EQ(Cp1250ToUtf8("\x81"), "\\x81");              // undefined byte shown, not dropped
}

}  // namespace
}  // namespace quarnset
