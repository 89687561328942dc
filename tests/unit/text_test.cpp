#include <gtest/gtest.h>

#include <cstring>

#include "base/text.h"

TEST(BoundedText, CopyFitsOrCutsAndSaysSo) {
  char b[6];
  EXPECT_TRUE(CopyText(b, sizeof b, "abcde"));
  EXPECT_STREQ(b, "abcde");
  EXPECT_FALSE(CopyText(b, sizeof b, "abcdef"));
  EXPECT_STREQ(b, "abcde");
  EXPECT_TRUE(CopyText(b, sizeof b, ""));
  EXPECT_STREQ(b, "");
}

TEST(BoundedText, AppendKeepsOldTextAndNeverOverruns) {
  char b[8] = "abc";
  b[7] = 'Z';  // sentinel beyond the terminator position must stay untouched only if unused
  EXPECT_TRUE(AppendText(b, sizeof b, "def"));
  EXPECT_STREQ(b, "abcdef");
  EXPECT_FALSE(AppendText(b, sizeof b, "ghi"));
  EXPECT_STREQ(b, "abcdefg");
  EXPECT_EQ(strlen(b), 7u);
}

TEST(BoundedText, StartsWith) {
  EXPECT_TRUE(StartsWith("[CreateGroup(X)]", "[CreateGroup("));
  EXPECT_FALSE(StartsWith("[Create", "[CreateGroup("));
  EXPECT_TRUE(StartsWith("x", ""));
}
