// The in-memory INI lookup: byte for byte, CR LF only, lines cut at 255 bytes, first line beginning
// with the key, one blank dropped after "=".
#include <gtest/gtest.h>

#include <cctype>
#include <cstring>
#include <string>

#include "unit/case_name.h"
#include "web/ini_lookup.h"

namespace {

struct LookupCase {
  const char* name;
  std::string text;
  std::string section;
  std::string key;
  bool found;
  std::string value;
};

void PrintTo(const LookupCase& c, std::ostream* os) { PrintCaseName(c.name, os); }

std::string Long(char c, size_t n) { return std::string(n, c); }

const LookupCase kCases[] = {
    {"plain key", "[A]\r\nKey=value\r\n", "A", "Key", true, "value"},
    {"one blank dropped, second kept", "[A]\r\nKey=  two\r\n", "A", "Key", true, " two"},
    {"blank before equals", "[A]\r\nKey =value\r\n", "A", "Key", true, "value"},
    {"several blanks before equals", "[A]\r\nKey   = v\r\n", "A", "Key", true, "v"},
    {"key line without equals gives empty", "[A]\r\nKey\r\n", "A", "Key", true, ""},
    {"empty value", "[A]\r\nKey=\r\n", "A", "Key", true, ""},
    {"equals then one blank only", "[A]\r\nKey= \r\n", "A", "Key", true, ""},
    {"trailing blanks, quotes and semicolons kept", "[A]\r\nKey= \"a b\" ;c  \r\n", "A", "Key", true,
     "\"a b\" ;c  "},
    {"value holds a second equals", "[A]\r\nKey=a=b\r\n", "A", "Key", true, "a=b"},
    {"File10 before File1 answers File1", "[A]\r\nFile10=x\r\nFile1=y\r\n", "A", "File1", true, "x"},
    {"File1 before File10", "[A]\r\nFile1=y\r\nFile10=x\r\n", "A", "File1", true, "y"},
    {"prefix match reads from the first equals past the key", "[A]\r\nKeyX=v\r\n", "A", "Key", true,
     "v"},
    {"case-sensitive key", "[A]\r\nkey=v\r\n", "A", "Key", false, "*"},
    {"case-sensitive section", "[a]\r\nKey=v\r\n", "A", "Key", false, "*"},
    {"blank before key not matched", "[A]\r\n Key=v\r\n", "A", "Key", false, "*"},
    {"blank before header not matched", " [A]\r\nKey=v\r\n", "A", "Key", false, "*"},
    {"anything may follow the header", "[A] ; comment\r\nKey=v\r\n", "A", "Key", true, "v"},
    {"header prefix [AB] does not open [A]", "[AB]\r\nKey=v\r\n", "A", "Key", false, "*"},
    {"first matching header wins", "[A]\r\nOther=1\r\n[A]\r\nKey=v\r\n", "A", "Key", false, "*"},
    {"key only after the next section is not found", "[A]\r\nX=1\r\n[B]\r\nKey=v\r\n", "A", "Key",
     false, "*"},
    {"next section ends even if it is the same name", "[A]\r\n[A]\r\nKey=v\r\n", "A", "Key", false,
     "*"},
    {"LF-only text has no section", "[A]\nKey=v\n", "A", "Key", false, "*"},
    {"LF-only text: section test fails", "[A]\nKey=v\n", "A", "", false, "*"},
    {"lone CR is text, not a line end", "[A]\r\nKey=a\rb\r\n", "A", "Key", true, "a\rb"},
    {"lone LF is text", "[A]\r\nKey=a\nOther=b\r\n", "A", "Key", true, "a\nOther=b"},
    {"key on last line without CR LF is found", "[A]\r\nKey=last", "A", "Key", true, "last"},
    {"header on last line without CR LF is not", "X=1\r\n[A]", "A", "", false, "*"},
    {"header on last line, key absent", "X=1\r\n[A]", "A", "Key", false, "*"},
    {"section test on existing section", "[Disc01]\r\nSetup=5\r\n", "Disc01", "", true, "*"},
    {"section test on missing section", "[Disc01]\r\nSetup=5\r\n", "Disc02", "", false, "*"},
    {"one-digit section name is another section", "[Disc1]\r\nSetup=5\r\n", "Disc01", "Setup",
     false, "*"},
    {"empty lines are skipped", "\r\n[A]\r\n\r\nKey=v\r\n\r\n", "A", "Key", true, "v"},
    {"star value returned as is", "[A]\r\nKey=*x\r\n", "A", "Key", true, "*x"},
    {"empty text", "", "A", "", false, "*"},
    {"bracketed key ends the section first", "[A]\r\n[Key]=v\r\n", "A", "[Key]", false, "*"},
    {"text ending just after CR", "[A]\r\nKey=v\r", "A", "Key", true, "v\r"},
    {"line of exactly 255 bytes", "[A]\r\nK=" + Long('v', 253) + "\r\n", "A", "K", true,
     Long('v', 253)},
    {"line cut at 255 bytes", "[A]\r\nK=" + Long('v', 300) + "\r\n", "A", "K", true, Long('v', 253)},
    {"equals beyond the cut gives empty", "[A]\r\nK" + Long(' ', 260) + "=v\r\n", "A", "K", true, ""},
    {"key longer than the cut never matches", "[A]\r\n" + Long('k', 256) + "=v\r\n", "A",
     Long('k', 256), false, "*"},
    {"header beyond the cut never matches", "[" + Long('s', 254) + "]\r\nK=v\r\n",
     Long('s', 254), "K", false, "*"},
    {"header of exactly 255 bytes matches", "[" + Long('s', 253) + "]\r\nK=v\r\n",
     Long('s', 253), "K", true, "v"},
    {"bytes above 127 compared as they are", "[\xE1rv\xED]\r\n\xF5r=\xFB\r\n", "\xE1rv\xED", "\xF5r",
     true, "\xFB"},
};

class FindIniValueTable : public ::testing::TestWithParam<LookupCase> {};

TEST_P(FindIniValueTable, GivesTheValueOrStar) {
  const LookupCase& c = GetParam();
  char value[256];
  memset(value, '#', sizeof value);
  bool found = FindIniValue(c.section.c_str(), c.key.c_str(), value, sizeof value, c.text.data(),
                            static_cast<int>(c.text.size()));
  EXPECT_EQ(found, c.found);
  EXPECT_EQ(std::string(value), c.value);
  if (found && !c.key.empty()) {
    // The whole buffer is cleared before the value goes in: nothing of the old content remains.
    for (size_t i = c.value.size(); i < sizeof value; ++i) ASSERT_EQ(value[i], '\0') << "byte " << i;
  }
}

INSTANTIATE_TEST_SUITE_P(Cases, FindIniValueTable, ::testing::ValuesIn(kCases), CaseNameOf());

TEST(FindIniValue, NeverReadsPastTheGivenSize) {
  // The text is a window of a larger buffer: the bytes after it must not count.
  const char buffer[] = "[A]\r\nKey=value\r\nMore";
  char value[256];
  int size = static_cast<int>(strlen("[A]\r\nKey=val"));
  EXPECT_TRUE(FindIniValue("A", "Key", value, sizeof value, buffer, size));
  EXPECT_STREQ(value, "val");
  EXPECT_FALSE(FindIniValue("A", "Key", value, sizeof value, buffer, 3));  // "[A]" only: no CR LF
  EXPECT_STREQ(value, "*");
  EXPECT_FALSE(FindIniValue("A", "", value, sizeof value, buffer, 0));
  EXPECT_FALSE(FindIniValue("A", "", value, sizeof value, buffer, -5));
  EXPECT_STREQ(value, "*");
}

TEST(FindIniValue, SmallValueBufferIsNeverOverrun) {
  const std::string text = "[A]\r\nKey=abcdefgh\r\n";
  char guard[16];
  memset(guard, 'G', sizeof guard);
  char* value = guard + 4;  // 5 bytes of room, guards on both sides
  EXPECT_TRUE(FindIniValue("A", "Key", value, 5, text.data(), static_cast<int>(text.size())));
  EXPECT_STREQ(value, "abcd");
  for (int i = 0; i < 4; ++i) EXPECT_EQ(guard[i], 'G');
  for (int i = 9; i < 16; ++i) EXPECT_EQ(guard[i], 'G');
  char one[2] = {'x', 'G'};
  EXPECT_FALSE(FindIniValue("B", "Key", one, 1, text.data(), static_cast<int>(text.size())));
  EXPECT_EQ(one[0], '\0');
  EXPECT_EQ(one[1], 'G');
}

TEST(FindIniValue, NumberedListReadsInOrderAndStopsAtTheGap) {
  const std::string text =
      "[Disc]\r\nName=Disc one\r\n[Setup]\r\nFile1=\\a.txt \\a.txt\r\nFile2=\\b.txt \\b.txt\r\n"
      "File4=\\d.txt \\d.txt\r\n[Systems]\r\nFile1=\\s.exe \\s.exe\r\n";
  char value[256];
  std::string got;
  for (int i = 1;; ++i) {
    std::string key = "File" + std::to_string(i);
    FindIniValue("Setup", key.c_str(), value, sizeof value, text.data(),
                 static_cast<int>(text.size()));
    if (value[0] == '*') break;
    got += value;
    got += ";";
  }
  EXPECT_EQ(got, "\\a.txt \\a.txt;\\b.txt \\b.txt;");
  EXPECT_TRUE(FindIniValue("Disc", "Name", value, sizeof value, text.data(),
                           static_cast<int>(text.size())));
  EXPECT_STREQ(value, "Disc one");
}

}  // namespace
