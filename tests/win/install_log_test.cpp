// The installation log's files under the platform: where they are, what they hold, that they are closed
// at the end; and the registry writes' lines in it (a refused write names its error).
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "base/install_log_win.h"
#include "install/registry_win.h"
#include "test_files.h"

namespace {

using quarn_test::FileBytes;
using quarn_test::PathExists;

class InstallLog : public ::testing::Test {
 protected:
  void SetUp() override {
    char temp[MAX_PATH];
    ASSERT_GT(GetTempPathA(sizeof temp, temp), 0u);
    temp_ = temp;
    folder_ = temp_ + "quarn_log_" + std::to_string(GetCurrentProcessId());
    quarn_test::RemoveTree(folder_);
    ASSERT_TRUE(quarn_test::MakeDirs(folder_ + "\\staging"));
    copy_ = folder_ + "\\copy.log";
  }
  void TearDown() override {
    LogEnd("test over");  // the log is process-wide: no other test may find it open
    quarn_test::RemoveTree(folder_);
  }
  // Opened without sharing, which fails while the log holds the file.
  static bool Held(const std::string& path) {
    HANDLE h = CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return GetLastError() == ERROR_SHARING_VIOLATION;
    CloseHandle(h);
    return false;
  }
  std::string temp_, folder_, copy_;
};

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

// Each write's line, in the form the log reader sees; a refusal is never logged as a value written.
TEST_F(InstallLog, RegistryWritesNameTheirRefusal) {
  const std::string key = "Software\\QuarnTestLog" + std::to_string(GetCurrentProcessId());
  const HKEY bogus = reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(0x7ff0));  // not a key of this process
  OpenInstallLog(copy_.c_str());
  ASSERT_EQ(RegWriteString(HKEY_LOCAL_MACHINE, key.c_str(), "Name", "value"), ERROR_SUCCESS);
  ASSERT_EQ(RegWriteDword(HKEY_LOCAL_MACHINE, key.c_str(), "Size", 42), ERROR_SUCCESS);
  ASSERT_NE(RegWriteString(bogus, "Sub", "Name", "lost"), ERROR_SUCCESS);
  ASSERT_NE(RegWriteDword(bogus, "Sub", "Size", 7), ERROR_SUCCESS);
  LogEnd("end");
  RegDeleteKeyA(HKEY_LOCAL_MACHINE, key.c_str());

  const std::string text = FileBytes(copy_);
  const std::string lines[] = {
      "registry HKLM\\" + key + " [Name] = \"value\"\r\n",
      "registry HKLM\\" + key + " [Size] = 42 (DWORD)\r\n",
      "registry HK?\\Sub [Name] = \"lost\" (refused, error 6)\r\n",
      "registry HK?\\Sub [Size] = 7 (DWORD) (refused, error 6)\r\n",
  };
  for (const std::string& line : lines) EXPECT_NE(text.find(" " + line), std::string::npos) << line << "\n" << text;
}

}  // namespace
