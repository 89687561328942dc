#include "app/worker_texts.h"
#include "layout/install_layout.h"

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

TEST(StagingPaths, BelowTheProgramFolder) {
  char out[256];
  ASSERT_TRUE(BuildStagingFolderPath("T:\\V92Demo\\QuarnWin32\\", out, sizeof out));
  EXPECT_STREQ(out, "T:\\V92Demo\\QuarnWin32\\Install\\");
  ASSERT_TRUE(BuildDescriptionPath("T:\\V92Demo\\QuarnWin32\\", out, sizeof out));
  EXPECT_STREQ(out, "T:\\V92Demo\\QuarnWin32\\Install\\Disc_01\\Install.ini");
}

TEST(StagingPaths, APathThatDoesNotFitIsRefusedNotCut) {
  // "Install\Disc_01\Install.ini" is 27 characters: a program folder of 228 fits exactly in 256 bytes.
  std::string program(227, 'p');
  program += '\\';
  char out[256] = "old";
  ASSERT_TRUE(BuildDescriptionPath(program.c_str(), out, sizeof out));
  EXPECT_EQ(std::string(out).size(), 255u);
  program.insert(0, "p");
  EXPECT_FALSE(BuildDescriptionPath(program.c_str(), out, sizeof out));
  EXPECT_STREQ(out, "");
  std::string longFolder(250, 'q');
  EXPECT_FALSE(BuildStagingFolderPath(longFolder.c_str(), out, sizeof out));
  EXPECT_STREQ(out, "");
}
