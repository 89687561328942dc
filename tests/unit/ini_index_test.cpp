// The index must answer exactly what the plain lookup answers; these cases are the lookup's own edge
// cases, asked through both.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "web/ini_index.h"
#include "web/ini_lookup.h"

namespace {
struct Answer {
  bool found;
  std::string value;
};
Answer Plain(const std::string& text, const char* section, const char* key) {
  char v[256];
  bool f = FindIniValue(section, key, v, sizeof v, text.data(), static_cast<int>(text.size()));
  return {f, v};
}
Answer Indexed(const IniIndex& index, const char* section, const char* key) {
  char v[256];
  bool f = index.Find(section, key, v, sizeof v);
  return {f, v};
}
}  // namespace

TEST(IniIndex, AgreesWithThePlainLookupOnItsEdgeCases) {
  const std::string long_line = "Long=" + std::string(300, 'x');
  const std::vector<std::string> texts = {
      "[A]\r\nFile10=x\r\nFile1=y\r\n",
      "[A]\r\nkey=  two\r\nk2 =value\r\nbare\r\n[B]\r\nlate=1\r\n",
      "[A]\nkey=lf only\n",
      "[A]\r\nlast=no crlf",
      "x\r\n[A]",
      "[A] trailing\r\n[A]\r\nk=second\r\n",
      "[A]\r\n[B]\r\nk=b\r\n[A]\r\nk=again\r\n",
      "[A]\r\n" + long_line + "\r\n",
      "",
      "[Disc01]\r\nName=D1\r\nSetup=12abc\r\n[Disc02]\r\nName=D2\r\n",
      " [A]\r\nk=blank before bracket\r\n",
      "[A]\r\n k=blank before key\r\nk=real\r\n",
  };
  const std::vector<std::pair<const char*, const char*>> queries = {
      {"A", "File1"}, {"A", "File10"}, {"A", "key"}, {"A", "k"}, {"A", "bare"}, {"A", "late"},
      {"B", "late"},  {"A", ""},       {"C", ""},    {"A", "last"}, {"A", "Long"}, {"Disc01", "Setup"},
      {"Disc02", "Name"}, {"Disc02", ""}, {"A", "["}, {"A", "k2"}, {"B", "k"}};
  // Indexed, and over a bound of two lines (every text here with more lines is answered by the plain
  // lookup behind the same interface).
  for (int maxLines : {IniIndex::kMaxIndexedLines, 2}) {
    for (const std::string& t : texts) {
      IniIndex index(t.data(), static_cast<int>(t.size()), maxLines);
      for (const auto& q : queries) {
        Answer p = Plain(t, q.first, q.second);
        Answer i = Indexed(index, q.first, q.second);
        EXPECT_EQ(p.found, i.found) << "max=" << maxLines << " text=" << t << " [" << q.first << "] " << q.second;
        EXPECT_EQ(p.value, i.value) << "max=" << maxLines << " text=" << t << " [" << q.first << "] " << q.second;
      }
    }
  }
}

TEST(IniIndex, TextOverTheBoundIsNotIndexed) {
  struct Case {
    std::string text;
    int maxLines;
    bool indexed;
  } cases[] = {
      {"[A]\r\nk=1\r\n", 2, true},
      {"[A]\r\nk=1\r\nl=2", 2, false},  // a last line without CR LF counts too
      {"[A]\r\nk=1\r\nl=2\r\n", 3, true},
      {"", 0, true},
  };
  for (const Case& c : cases) {
    IniIndex index(c.text.data(), static_cast<int>(c.text.size()), c.maxLines);
    EXPECT_EQ(index.indexed(), c.indexed) << c.text << " " << c.maxLines;
  }
}

TEST(IniIndex, MillionsOfEmptyLinesAreLookedUpWithoutAnIndex) {
  // A hostile list: its lines inside a section, the keys after them. Indexed, it took about 1.6 GB.
  std::string t = "[Disc]\r\nName=D\r\n[Setup]\r\n";
  t.reserve(t.size() + 2 * 4000000 + 64);
  for (int i = 0; i < 4000000; ++i) t += "\r\n";
  t += "File1=\\a \\x\r\nFile2=\\b \\y\r\n";
  IniIndex index(t.data(), static_cast<int>(t.size()));
  EXPECT_FALSE(index.indexed());
  char v[256];
  ASSERT_TRUE(index.Find("Setup", "File2", v, sizeof v));
  EXPECT_STREQ(v, "\\b \\y");
  EXPECT_FALSE(index.Find("Setup", "File3", v, sizeof v));
  EXPECT_STREQ(v, "*");
  EXPECT_TRUE(index.Find("Disc", "Name", v, sizeof v));
}

TEST(IniIndex, FirstLineBeginningWithTheKeyWins) {
  const std::string t = "[A]\r\nFile10=x\r\nFile1=y\r\nFile2=z\r\n";
  IniIndex index(t.data(), static_cast<int>(t.size()));
  char v[256];
  ASSERT_TRUE(index.Find("A", "File1", v, sizeof v));
  EXPECT_STREQ(v, "x");
  ASSERT_TRUE(index.Find("A", "File2", v, sizeof v));
  EXPECT_STREQ(v, "z");
  EXPECT_FALSE(index.Find("A", "File3", v, sizeof v));
  EXPECT_STREQ(v, "*");
}

TEST(IniIndex, LargeNumberedListReadsEveryEntry) {
  std::string t = "[Disc]\r\nName=D\r\n[Setup]\r\n";
  for (int i = 1; i <= 10000; ++i) t += "File" + std::to_string(i) + "=\\f" + std::to_string(i) + " \\x\r\n";
  IniIndex index(t.data(), static_cast<int>(t.size()));
  char v[256];
  for (int i = 1; i <= 10000; i += 999) {
    ASSERT_TRUE(index.Find("Setup", ("File" + std::to_string(i)).c_str(), v, sizeof v));
    EXPECT_EQ(std::string(v), "\\f" + std::to_string(i) + " \\x");
  }
  EXPECT_FALSE(index.Find("Setup", "File10001", v, sizeof v));
}

// A file list as the maker's tool writes it: a numbered section and a [Hashes] section of the same
// length. Every entry is read (the download's pattern), the answers are the plain lookup's, and the
// index's tables stay at a few dozen bytes a line: the list of a 10,000-file set must not cost the
// installer megabytes.
TEST(IniIndex, ListWithHashSectionStaysSmallAndAgreesWithThePlainLookup) {
  const int n = 10000;
  std::string t = "; list\r\n[Disc]\r\nName=D\r\n\r\n[Systems]\r\n";
  for (int i = 1; i <= n; ++i) t += "File" + std::to_string(i) + "=\\f" + std::to_string(i) + ".dat \\Data\r\n";
  t += "\r\n[Hashes]\r\n";
  for (int i = 1; i <= n; ++i) t += "f" + std::to_string(i) + ".dat=1024 " + std::string(64, 'a') + "\r\n";
  IniIndex index(t.data(), static_cast<int>(t.size()));
  ASSERT_TRUE(index.indexed());
  for (int i = 1; i <= n + 1; ++i) {
    std::string key = "File" + std::to_string(i);
    Answer a = Indexed(index, "Systems", key.c_str());
    if (i % 997 == 1 || i > n - 2) {
      Answer p = Plain(t, "Systems", key.c_str());
      EXPECT_EQ(a.found, p.found) << key;
      EXPECT_EQ(a.value, p.value) << key;
    }
    EXPECT_EQ(a.found, i <= n) << key;
  }
  Answer h = Indexed(index, "Hashes", "f77.dat");
  EXPECT_TRUE(h.found);
  EXPECT_EQ(h.value, "1024 " + std::string(64, 'a'));
  const size_t lineCount = 2 * n + 8;
  EXPECT_LT(index.TableBytes(), 40 * lineCount) << "bytes per line: " << index.TableBytes() / lineCount;
}
