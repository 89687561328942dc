// The worker's texts: the no-connection message with the site's name inserted as text, never past its
// buffer.
#include "app/worker_texts.h"

#include <gtest/gtest.h>

#include <string>

TEST(NoConnectionText, TwoLineFeedsTheTwoLinesAndTheSiteName) {
  char out[512];
  ASSERT_TRUE(BuildNoConnectionText(out, sizeof out, "www.quarnsoft.hu"));
  EXPECT_STREQ(out,
               "\n\nA telep\xedt\xf5 rendszernek nincs Internet kapcsolata,\n"
               " vagy nincs let\xf6lt\xe9si enged\xe9lye az 'www.quarnsoft.hu' WEB lappr\xf3l!!!");
}

TEST(NoConnectionText, SiteNameIsTextNotAFormat) {
  char out[512];
  ASSERT_TRUE(BuildNoConnectionText(out, sizeof out, "%s%n%d"));
  EXPECT_NE(std::string(out).find("'%s%n%d' WEB"), std::string::npos);
}

TEST(NoConnectionText, NeverOverrunsASmallBuffer) {
  char out[24];
  out[23] = 'Z';
  EXPECT_FALSE(BuildNoConnectionText(out, 20, "www.quarnsoft.hu"));
  EXPECT_EQ(std::string(out).size(), 19u);
  EXPECT_EQ(out[23], 'Z');
}
