// The paths of an installation: where the staged set files land below the staging folder.
#include <gtest/gtest.h>

#include <string>

#include "layout/install_layout.h"

TEST(StagingPaths, DiscFolderAndFile) {
  char path[256];
  ASSERT_TRUE(FormStagingPath("T:\\V92Demo\\QuarnWin32\\Install\\", "Disc_01", "Install.ini", path,
                              sizeof path));
  EXPECT_STREQ(path, "T:\\V92Demo\\QuarnWin32\\Install\\Disc_01\\Install.ini");
  ASSERT_TRUE(FormStagingPath("T:\\V92Demo\\QuarnWin32\\Install\\", "Disc_02", nullptr, path,
                              sizeof path));
  EXPECT_STREQ(path, "T:\\V92Demo\\QuarnWin32\\Install\\Disc_02");
  ASSERT_TRUE(FormStagingPath("C:\\R\\QuarnWin32\\Install\\", "Disc_01", "Help\\a.hlp", path,
                              sizeof path));
  EXPECT_STREQ(path, "C:\\R\\QuarnWin32\\Install\\Disc_01\\Help\\a.hlp");
  std::string folder = "C:\\" + std::string(240, 'r') + "\\";
  EXPECT_FALSE(FormStagingPath(folder.c_str(), "Disc_01", "Install.ini", path, sizeof path));
}
