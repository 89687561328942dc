// The handle owners: each closes what it holds exactly once, at the end of its scope or on reset, hands
// it over on a move without closing it, and closes nothing once released or when it holds the kind's
// empty value. "Closed" is seen from outside: a file opened without sharing can be opened again, a
// closed registry key, event or search answers as an invalid handle.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "base/scoped_handle_win.h"
#include "test_files.h"

namespace {

class ScopedHandles : public ::testing::Test {
 protected:
  void SetUp() override {
    char temp[MAX_PATH];
    ASSERT_GT(GetTempPathA(sizeof temp, temp), 0u);
    folder_ = std::string(temp) + "quarn_scoped_" + std::to_string(GetCurrentProcessId());
    ASSERT_TRUE(quarn_test::MakeDirs(folder_));
    file_ = folder_ + "\\held.txt";
    ASSERT_TRUE(quarn_test::WriteFileBytes(file_, "held"));
    key_ = "Software\\QuarnTestScoped" + std::to_string(GetCurrentProcessId());
  }
  void TearDown() override {
    quarn_test::RemoveTree(folder_);
    RegDeleteKeyA(HKEY_CURRENT_USER, key_.c_str());
  }

  // Opened without sharing: while it is open, no second open succeeds.
  HANDLE OpenExclusive() const {
    return CreateFileA(file_.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  }
  bool FileIsHeld() const {
    HANDLE h = OpenExclusive();
    if (h == INVALID_HANDLE_VALUE) return true;
    CloseHandle(h);
    return false;
  }
  HKEY OpenKey() const {
    HKEY k = nullptr;
    EXPECT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, key_.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &k, nullptr),
              ERROR_SUCCESS);
    return k;
  }
  static bool KeyIsOpen(HKEY k) {
    DWORD values = 0;
    return RegQueryInfoKeyA(k, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &values, nullptr, nullptr,
                            nullptr, nullptr) == ERROR_SUCCESS;
  }
  static bool EventIsOpen(HANDLE h) {
    DWORD flags = 0;
    return GetHandleInformation(h, &flags) != 0;
  }

  std::string folder_, file_, key_;
};

TEST_F(ScopedHandles, AFileIsClosedAtTheEndOfItsScopeAndOnReset) {
  {
    ScopedFile f(OpenExclusive());
    ASSERT_TRUE(f.valid());
    EXPECT_TRUE(FileIsHeld());
  }
  EXPECT_FALSE(FileIsHeld()) << "the owner's scope ended";

  ScopedFile f(OpenExclusive());
  ASSERT_TRUE(f);
  EXPECT_TRUE(f.reset());
  EXPECT_FALSE(f.valid());
  EXPECT_EQ(f.get(), INVALID_HANDLE_VALUE);
  EXPECT_FALSE(FileIsHeld()) << "reset closed it";
  EXPECT_TRUE(f.reset()) << "an empty owner has nothing to close";
}

TEST_F(ScopedHandles, AMoveHandsTheFileOverWithoutClosingIt) {
  ScopedFile target;
  {
    ScopedFile source(OpenExclusive());
    ASSERT_TRUE(source);
    const HANDLE raw = source.get();
    target = std::move(source);
    EXPECT_FALSE(source.valid());
    EXPECT_EQ(target.get(), raw);
    ScopedFile constructed(std::move(target));
    EXPECT_FALSE(target.valid());
    EXPECT_EQ(constructed.get(), raw);
    target = std::move(constructed);
  }
  EXPECT_TRUE(FileIsHeld()) << "the moved-from owners closed the file";
  target = ScopedFile();
  EXPECT_FALSE(FileIsHeld()) << "assigning an empty owner closes the one held";
}

TEST_F(ScopedHandles, AReleasedHandleStaysOpenAndAFailedOpenClosesNothing) {
  HANDLE raw = INVALID_HANDLE_VALUE;
  {
    ScopedFile f(OpenExclusive());
    raw = f.release();
    EXPECT_FALSE(f.valid());
  }
  ASSERT_NE(raw, INVALID_HANDLE_VALUE);
  EXPECT_TRUE(FileIsHeld()) << "released: the owner must not close it";
  CloseHandle(raw);

  // CreateFile's failure value is the empty one for files; NULL is for the other kernel handles.
  ScopedFile missing(CreateFileA((folder_ + "\\none").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
  EXPECT_FALSE(missing.valid());
  ScopedKernelHandle none(OpenEventA(EVENT_ALL_ACCESS, FALSE, "QuarnTestNoSuchEvent"));
  EXPECT_FALSE(none.valid());
  ScopedFind nothing(INVALID_HANDLE_VALUE);
  EXPECT_FALSE(nothing.valid());
  EXPECT_TRUE(nothing.reset());
}

TEST_F(ScopedHandles, KeysEventsAndSearchesAreClosedAtTheEndOfTheirScope) {
  HKEY key = nullptr;
  HANDLE event = nullptr;
  HANDLE search = INVALID_HANDLE_VALUE;
  WIN32_FIND_DATAA found;
  {
    ScopedRegKey k(OpenKey());
    ScopedKernelHandle e(CreateEventA(nullptr, TRUE, FALSE, nullptr));
    ScopedFind s(FindFirstFileA((folder_ + "\\*").c_str(), &found));
    ASSERT_TRUE(k && e && s);
    key = k.get();
    event = e.get();
    search = s.get();
    EXPECT_TRUE(KeyIsOpen(key));
    EXPECT_TRUE(EventIsOpen(event));
  }
  EXPECT_FALSE(KeyIsOpen(key));
  EXPECT_FALSE(EventIsOpen(event));
  SetLastError(0);
  EXPECT_FALSE(FindNextFileA(search, &found));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
}

}  // namespace
