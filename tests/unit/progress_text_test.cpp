// The progress texts of the download and the copy: the percentage and the bar's position, and the
// activity frames.
#include <gtest/gtest.h>

#include <cstdint>

#include "layout/progress_text.h"

namespace {

TEST(ProgressText, PercentAndPosition) {
  struct Case {
    int64_t done, total;
    const char* text;
    int position;
  } cases[] = {
      {0, 0, "  0.0%", 0},
      {12345, 0, "  0.0%", 0},
      {0, 1000, "  0.0%", 0},
      {1, 2000, "  0.1%", 0},  // 0.5 of 1000 truncates to 0
      {500, 1000, " 50.0%", 500},
      {999, 1000, " 99.9%", 999},
      {1000, 1000, "100.0%", 1000},
      {1999, 2000, "100.0%", 999},   // 99.95 rounds up in the text, the bar truncates
      {3000, 2000, "150.0%", 1500},  // more than announced: nothing limits the value shown
      {1, 3, " 33.3%", 333},
  };
  for (const Case& c : cases) {
    double r = ProgressRatio(c.done, c.total);
    char text[32];
    FormatPercent(r, text, sizeof text);
    EXPECT_STREQ(text, c.text) << c.done << "/" << c.total;
    EXPECT_EQ(ProgressPosition(r), c.position) << c.done << "/" << c.total;
  }
  EXPECT_EQ(ProgressPosition(1e300), INT32_MAX);
  EXPECT_EQ(ProgressPosition(-1e300), INT32_MIN);
}

TEST(ProgressText, ActivityFramesCycle) {
  const char* expected[] = {"|", "/", "-", "\\", "", "|", "/"};
  for (int i = 0; i < 7; ++i) EXPECT_STREQ(ActivityFrame(i), expected[i]) << i;
}

TEST(CopyProgress, SpinnerOrderRepeatsAfterFiveFrames) {
  // The copy engine shows frame 0 after a file's first full block, frame 1 after its second, ...
  const char* expected[] = {"|", "/", "-", "\\", "", "|", "/"};
  for (int i = 0; i < 7; ++i) EXPECT_STREQ(ActivityFrame(i), expected[i]) << "frame " << i;
}

}  // namespace
