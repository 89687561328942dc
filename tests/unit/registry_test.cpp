// The installation record's data: the installation time's text and the record's key below the maker's key,
// refused rather than cut.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "install/registry.h"

TEST(InstalledTime, FormatsYearMonthDayAndTimeWithLeadingZeros) {
  struct Case {
    int y, mo, d, h, mi, s;
    const char* expected;
  } cases[] = {
      {2026, 12, 7, 9, 5, 3, "2026.12.07. 09:05:03"},
      {2026, 1, 1, 0, 0, 0, "2026.01.01. 00:00:00"},
      {1999, 12, 31, 23, 59, 59, "1999.12.31. 23:59:59"},
      {999, 10, 10, 10, 10, 10, "999.10.10. 10:10:10"},    // the year has no fixed width
      {30827, 12, 31, 23, 59, 59, "30827.12.31. 23:59:59"},  // the largest year the clock gives
  };
  for (const Case& c : cases) {
    char out[64];
    ASSERT_TRUE(FormatInstalledTime(c.y, c.mo, c.d, c.h, c.mi, c.s, out, sizeof out)) << c.expected;
    EXPECT_STREQ(out, c.expected);
  }
}

TEST(InstalledTime, ReportsABufferTooSmallAndStaysTerminated) {
  char out[21];  // "2026.12.07. 09:05:03" needs 21 bytes
  EXPECT_TRUE(FormatInstalledTime(2026, 12, 7, 9, 5, 3, out, sizeof out));
  char small[20];
  memset(small, 'x', sizeof small);
  EXPECT_FALSE(FormatInstalledTime(2026, 12, 7, 9, 5, 3, small, sizeof small));
  EXPECT_EQ(strlen(small), sizeof small - 1);
}

TEST(RecordKey, IsBelowTheMakersKeyOrNotWrittenWhenTooLong) {
  char out[256];
  ASSERT_TRUE(BuildRecordKeyPath("QuarnCAD", out, sizeof out));
  EXPECT_STREQ(out, "Software\\QuarnSoft\\QuarnCAD");
  ASSERT_TRUE(BuildRecordKeyPath("Quarn CAD, 9.2", out, sizeof out));  // taken whole
  EXPECT_STREQ(out, "Software\\QuarnSoft\\Quarn CAD, 9.2");
  // 19 bytes of prefix + 236 = 255 characters fit exactly; one more would be cut, so it is refused.
  EXPECT_TRUE(BuildRecordKeyPath(std::string(236, 'a').c_str(), out, sizeof out));
  EXPECT_FALSE(BuildRecordKeyPath(std::string(237, 'a').c_str(), out, sizeof out));
}
