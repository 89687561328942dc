// The installation log's files under the platform: where they are, what they hold, that they are closed
// at the end.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "base/install_log_win.h"
#include "install_log_fixture.h"
#include "test_files.h"

namespace {

using quarn_test::FileBytes;
using quarn_test::InstallLog;
using quarn_test::PathExists;

TEST_F(InstallLog, MovesWithItsLinesKeepsTheCopyAndClosesBothAtTheEnd) {
  OpenInstallLog(copy_.c_str());
  const std::string first = InstallLogPath();
  EXPECT_EQ(first, temp_ + "QuarnInstall.log");
  LogEvent("before the move %d", 1);
  EXPECT_TRUE(Held(first));

  const std::string staging = folder_ + "\\staging";
  MoveInstallLog(staging.c_str());
  const std::string moved = InstallLogPath();
  EXPECT_EQ(moved, staging + "\\QuarnInstall.log");
  EXPECT_FALSE(PathExists(first)) << "the temporary folder's file is removed once moved";
  LogEvent("after the move %d", 2);
  EXPECT_TRUE(Held(moved));
  EXPECT_TRUE(Held(copy_));

  LogEnd("end: %s", "over");
  EXPECT_FALSE(Held(moved)) << "closed at the end";
  EXPECT_FALSE(Held(copy_)) << "closed at the end";
  for (const std::string& path : {moved, copy_}) {
    const std::string text = FileBytes(path);
    const size_t a = text.find(" before the move 1\r\n");
    const size_t b = text.find(" after the move 2\r\n");
    const size_t c = text.find(" end: over\r\n");
    EXPECT_NE(a, std::string::npos) << path << "\n" << text;
    EXPECT_NE(b, std::string::npos) << path << "\n" << text;
    EXPECT_NE(c, std::string::npos) << path << "\n" << text;
    EXPECT_TRUE(a < b && b < c) << path << ": in the order logged\n" << text;
  }
}

// Moved again, the log still carries every line (the first move's lines are read back from its file,
// not kept in memory); a run that opens the log anew starts from nothing.
TEST_F(InstallLog, MovedTwiceCarriesEveryLineAndANewRunStartsEmpty) {
  OpenInstallLog(nullptr);
  LogEvent("line %d", 1);
  const std::string staging = folder_ + "\\staging";
  const std::string second = folder_ + "\\second";
  ASSERT_TRUE(quarn_test::MakeDirs(second));
  MoveInstallLog(staging.c_str());
  LogEvent("line %d", 2);
  MoveInstallLog(second.c_str());
  LogEvent("line %d", 3);
  EXPECT_EQ(std::string(InstallLogPath()), second + "\\QuarnInstall.log");
  EXPECT_FALSE(PathExists(staging + "\\QuarnInstall.log")) << "the earlier file is removed once moved";
  LogEnd("end");
  const std::string text = FileBytes(second + "\\QuarnInstall.log");
  const size_t a = text.find(" line 1\r\n"), b = text.find(" line 2\r\n"), c = text.find(" line 3\r\n");
  EXPECT_NE(a, std::string::npos) << text;
  EXPECT_NE(b, std::string::npos) << text;
  EXPECT_NE(c, std::string::npos) << text;
  EXPECT_TRUE(a < b && b < c) << text;
  EXPECT_EQ(text.find(" line 1\r\n", a + 1), std::string::npos) << "each line once\n" << text;

  OpenInstallLog(nullptr);
  LogEvent("next run");
  MoveInstallLog(staging.c_str());
  LogEnd("end");
  const std::string next = FileBytes(staging + "\\QuarnInstall.log");
  EXPECT_NE(next.find(" next run\r\n"), std::string::npos) << next;
  EXPECT_EQ(next.find(" line "), std::string::npos) << "nothing of the run before\n" << next;
}

}  // namespace
