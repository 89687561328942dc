// The installation log opened in a private temporary folder for a test (a copy path and a staging folder
// below it), and ended after it: the log is process-wide, so no other test may find it open.
#pragma once
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "base/install_log_win.h"
#include "test_files.h"

namespace quarn_test {

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

}  // namespace quarn_test
