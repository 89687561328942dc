// The bounded text helpers: a copy or an append that fits or says it was cut, FillText's blanks taken in
// order as text, and the decimal reader.
#include <gtest/gtest.h>

#include <cstdint>
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

TEST(FillText, BlanksTakeTheValuesInOrderAsText) {
  const struct {
    const char* what;
    const char* format;
    std::initializer_list<std::string> values;
    std::string expected;
  } cases[] = {
      {"one name", "A(z) ' %s ' f\xe1jl", {"a.dat"}, "A(z) ' a.dat ' f\xe1jl"},
      {"numbers in order", "%d/%d ... (%d mp) ", {"3", "5", "4"}, "3/5 ... (4 mp) "},
      {"a name is never a format", "[%s]", {"%s%d%n%%"}, "[%s%d%n%%]"},
      {"a blank without a value is left out", "%d/%d ... ", {"3"}, "3/ ... "},
      {"values beyond the blanks are not used", "%d/%d ... ", {"3", "5", "4"}, "3/5 ... "},
      {"a percent sign", "100%% %s", {"x"}, "100% x"},
      {"other specifiers stay text", "%n %x %", {"x"}, "%n %x %"},
      {"no format", nullptr, {"x"}, ""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(FillText(c.format, c.values), c.expected) << c.what;
  }
}

TEST(ProgressText, DecimalNumbers) {
  struct Case {
    const char* text;
    int64_t value;
  } cases[] = {
      {"12", 12},        {"12abc", 12},  {"  42", 42},  {"-7", -7},
      {"+8", 8},         {"abc", 0},     {"", 0},       {" - 3", 0},
      {"0012", 12},      {"4294967296", 4294967296LL},
      {"99999999999999999999999", INT64_MAX},
  };
  for (const Case& c : cases) EXPECT_EQ(ParseDecimal(c.text), c.value) << c.text;
}
