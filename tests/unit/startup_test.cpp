// Start-up: the main window's size and place, and the Windows folder taken from %windir%.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "app/startup.h"

TEST(MainWindowPlacement, SizedFromBitmapAndFrameAndCentred) {
  struct Case {
    int sw, sh, bw, bh, frame;
    WindowPlacement want;
  } cases[] = {
      {1024, 768, 600, 350, 3, {209, 206, 606, 356}},
      {1025, 769, 600, 350, 3, {209, 206, 606, 356}},    // odd leftover: truncated
      {800, 600, 600, 350, 4, {96, 121, 608, 358}},      // the frame height on all four sides
      {640, 480, 600, 350, 0, {20, 65, 600, 350}},
      {600, 300, 600, 350, 3, {-3, -28, 606, 356}},      // screen smaller: negative and kept
      {500, 300, 600, 351, 3, {-53, -28, 606, 357}},     // -107 / 2 = -53 (toward zero, not -54)
      {0, 0, 1, 1, 0, {0, 0, 1, 1}},                     // -1 / 2 = 0
  };
  for (const Case& c : cases) {
    WindowPlacement p = MainWindowPlacement(c.sw, c.sh, c.bw, c.bh, c.frame);
    EXPECT_EQ(p.x, c.want.x) << c.sw << "x" << c.sh;
    EXPECT_EQ(p.y, c.want.y) << c.sw << "x" << c.sh;
    EXPECT_EQ(p.width, c.want.width) << c.sw << "x" << c.sh;
    EXPECT_EQ(p.height, c.want.height) << c.sw << "x" << c.sh;
  }
}

TEST(WindowsFolder, StoredWhenItFitsEmptyOtherwise) {
  const std::string len79(79, 'w'), len80(80, 'w');
  struct Case {
    const char* value;
    bool stored;
    std::string want;
  } cases[] = {
      {"C:\\windows", true, "C:\\windows"},
      {"C:\\windows\\", true, "C:\\windows"},  // no trailing backslash
      {"C:\\windows\\\\", true, "C:\\windows"},
      {"", true, ""},
      {len79.c_str(), true, len79},  // the longest value that fits the 80-byte buffer
      {len80.c_str(), false, ""},    // one more: left empty rather than cut to a wrong folder
      {nullptr, false, ""},          // variable not set
  };
  for (const Case& c : cases) {
    // The buffer sits in a larger block whose tail must stay untouched.
    struct {
      char folder[80];
      char guard[16];
    } block;
    memset(&block, 'x', sizeof block);
    EXPECT_EQ(StoreWindowsFolder(block.folder, sizeof block.folder, c.value), c.stored)
        << (c.value ? c.value : "(null)");
    EXPECT_EQ(std::string(block.folder), c.want);
    for (char g : block.guard) ASSERT_EQ(g, 'x');
  }
}

TEST(WindowsFolder, LongValueReplacesAnEarlierOne) {
  char folder[80];
  ASSERT_TRUE(StoreWindowsFolder(folder, sizeof folder, "C:\\windows"));
  std::string tooLong(200, 'a');
  EXPECT_FALSE(StoreWindowsFolder(folder, sizeof folder, tooLong.c_str()));
  EXPECT_STREQ(folder, "");
}
