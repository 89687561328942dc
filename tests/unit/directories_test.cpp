#include "layout/install_layout.h"

#include <gtest/gtest.h>

#include <string>

TEST(RootFolderName, OnlyOneFolderBelowTheDriveTop) {
  struct Case {
    const char* name;
    bool plain;
  } const cases[] = {
      {"V92Demo", true},       {"Quarn CAD 9.2", true}, {".hidden", true},  {"a.b", true},
      {"", false},             {".", false},            {"..", false},      {"...", false},
      {". .", false},          {"..\\Windows", false},  {"a\\b", false},    {"a/b", false},
      {"C:", false},           {"\\", false},           {"x:y", false},
  };
  for (const Case& c : cases) EXPECT_EQ(IsPlainFolderName(c.name), c.plain) << "[" << c.name << "]";
}

TEST(RootFolderPath, DriveLetterColonBackslashName) {
  char out[256];
  ASSERT_TRUE(BuildRootFolderPath(20, "V92Demo", out, sizeof out));
  EXPECT_STREQ(out, "T:\\V92Demo");
  ASSERT_TRUE(BuildRootFolderPath(1, "x", out, sizeof out));
  EXPECT_STREQ(out, "A:\\x");
  ASSERT_TRUE(BuildRootFolderPath(26, "x", out, sizeof out));
  EXPECT_STREQ(out, "Z:\\x");
}

TEST(RootFolderPath, RefusesBadDriveBadNameAndOverlongPath) {
  char out[256] = "old";
  EXPECT_FALSE(BuildRootFolderPath(0, "V92Demo", out, sizeof out));
  EXPECT_STREQ(out, "");
  EXPECT_FALSE(BuildRootFolderPath(27, "V92Demo", out, sizeof out));
  EXPECT_FALSE(BuildRootFolderPath(3, "..", out, sizeof out));
  // 3 bytes of "C:\" + 252 characters + terminator = 256 fits exactly; one more does not.
  std::string name(252, 'n');
  ASSERT_TRUE(BuildRootFolderPath(3, name.c_str(), out, sizeof out));
  EXPECT_EQ(std::string(out), "C:\\" + name);
  name += 'n';
  EXPECT_FALSE(BuildRootFolderPath(3, name.c_str(), out, sizeof out));
  EXPECT_STREQ(out, "");
}

TEST(SubfolderPath, RootPlusValueUnchanged) {
  struct Case {
    const char* value;
    const char* path;  // nullptr: refused
  } const cases[] = {
      {"\\QuarnWin32", "T:\\V92Demo\\QuarnWin32"},
      {"\\QuarnWin32\\Minta rajzok", "T:\\V92Demo\\QuarnWin32\\Minta rajzok"},
      {"\\QuarnWin32\\", "T:\\V92Demo\\QuarnWin32\\"},
      {"\\a.b\\.c\\d..e", "T:\\V92Demo\\a.b\\.c\\d..e"},
      {"QuarnWin32", nullptr},           // no leading backslash: a sibling of the root folder
      {"", nullptr},
      {"\\..", nullptr},                 // climbs out of the root folder
      {"\\QuarnWin32\\..\\..\\Windows", nullptr},
      {"\\QuarnWin32/../../Windows", nullptr},
      {"\\x\\...\\y", nullptr},          // Windows strips the trailing dots: ".." again
      {"\\x\\.. \\y", nullptr},
      {"\\.", nullptr},
  };
  for (const Case& c : cases) {
    char out[256] = "old";
    bool ok = BuildSubfolderPath("T:\\V92Demo", c.value, out, sizeof out);
    if (c.path) {
      EXPECT_TRUE(ok) << c.value;
      EXPECT_STREQ(out, c.path) << c.value;
    } else {
      EXPECT_FALSE(ok) << c.value;
      EXPECT_STREQ(out, "") << c.value;
    }
  }
}

TEST(SubfolderPath, RefusesAPathThatWouldBeCut) {
  const std::string root = "T:\\V92Demo";  // 10 characters
  std::string value = "\\" + std::string(244, 'd');  // 10 + 245 = 255 characters: fits
  char out[256];
  ASSERT_TRUE(BuildSubfolderPath(root.c_str(), value.c_str(), out, sizeof out));
  EXPECT_EQ(std::string(out), root + value);
  value += 'd';
  EXPECT_FALSE(BuildSubfolderPath(root.c_str(), value.c_str(), out, sizeof out));
  EXPECT_STREQ(out, "");
}
