// The copy's progress: the percentage and the bar at a file's end and within a file (its written bytes
// count a quarter), and a percentage that never overruns its buffer.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "install/copy_progress.h"

namespace {
std::string Percent(double ratio) {
  char b[64];
  FormatCopyPercent(ratio, b, sizeof b);
  return b;
}
}  // namespace

TEST(CopyProgress, FileEndTable) {
  struct Case {
    uint32_t done, total;
    const char* percent;
    int bar;
  } cases[] = {
      {0, 0, "  1.0%", 10},             // nothing counted: one percent, never a division by zero
      {123456, 0, "  1.0%", 10},        // done is ignored when the total is 0
      {0, 1000, "  0.0%", 0},
      {1, 3, " 33.3%", 333},
      {2, 3, " 66.7%", 666},            // the text rounds, the bar truncates
      {999999, 1000000, "100.0%", 999},
      {100, 100, "100.0%", 1000},
      {3000000000u, 4000000000u, " 75.0%", 750},  // counters above 2^31 are unsigned
      {150, 100, "150.0%", 1000},       // past 100 %: the text as it is, the bar at its end
      {4294967295u, 1, "429496729500.0%", 1000},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.done) + "/" + std::to_string(c.total));
    double r = CopyRatioAtFileEnd(c.done, c.total);
    EXPECT_EQ(Percent(r), c.percent);
    EXPECT_EQ(CopyBarPosition(r), c.bar);
  }
}

TEST(CopyProgress, InFileCountsWrittenBytesAQuarter) {
  struct Case {
    uint32_t done;
    uint64_t written;
    uint32_t total;
    const char* percent;
  } cases[] = {
      {0, 512000, 512000, " 25.0%"},
      {100000, 1024000, 1000000, " 35.6%"},   // (100000 + 256000) / 1000000
      {0, 512000, 0, "  1.0%"},               // total 0: one percent here too
      {1000, 4096000, 1000, "102500.0%"},     // past 100 %: shown as it is
      {0, 0, 7, "  0.0%"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.done) + "+" + std::to_string(c.written) + "/" + std::to_string(c.total));
    EXPECT_EQ(Percent(CopyRatioInFile(c.done, c.written, c.total)), c.percent);
  }
}

TEST(CopyProgress, PercentNeverOverrunsItsBuffer) {
  char b[5];
  memset(b, 'X', sizeof b);
  FormatCopyPercent(1.0, b, sizeof b);
  EXPECT_STREQ(b, "100.");
}
