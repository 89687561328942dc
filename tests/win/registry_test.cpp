// The installation record and the registry operations, against the real registry of the test prefix
// (HKEY_LOCAL_MACHINE is writable without elevation under Wine); and the registry writes' lines in the
// installation log (a refused write names its error).
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "base/install_log_win.h"
#include "state/install_state_win.h"
#include "install/registry_win.h"
#include "install_log_fixture.h"
#include "staged_description.h"
#include "test_files.h"

using namespace quarn_test;

namespace {

// The record is kept in the 32-bit view of the registry by both builds (kRecordView): the fixture reaches
// it through HKLM\Software opened in that view, and key_ is relative to that handle.
class InstallationRecord : public StagedDescriptionTest {
 protected:
  void SetUp() override {
    StagedDescriptionTest::SetUp();
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, "Software", 0, nullptr, 0, KEY_ALL_ACCESS | kRecordView,
                              nullptr, &root_, nullptr),
              ERROR_SUCCESS);
    cad_ = Unique("QuarnTestCad");
    key_ = "QuarnSoft\\" + cad_;
    DeleteTree(root_, key_);
    quarn_test::ChooseTarget(20, "V92Demo");  // T:
  }
  void TearDown() override {
    if (root_ != nullptr) {
      DeleteTree(root_, key_);
      RegCloseKey(root_);
    }
    StagedDescriptionTest::TearDown();
  }
  std::string Value(const char* name) const { return ReadString(root_, key_, name); }
  void Seed(const char* name, const char* text) {
    ASSERT_TRUE(WriteRegistryString(HKEY_LOCAL_MACHINE, ("Software\\" + key_).c_str(), name, text, kRecordView));
  }
  HKEY root_ = nullptr;
  std::string cad_, key_;
};

// Seconds since 1601 of the record's time stamp, or -1 when it does not have the record's form.
long long ParseInstalledTime(const std::string& text) {
  SYSTEMTIME t = {};
  int y, mo, d, h, mi, s;
  char tail;
  if (text.size() != 20 || sscanf(text.c_str(), "%4d.%2d.%2d. %2d:%2d:%2d%c", &y, &mo, &d, &h, &mi, &s, &tail) != 6) {
    return -1;
  }
  t.wYear = static_cast<WORD>(y);
  t.wMonth = static_cast<WORD>(mo);
  t.wDay = static_cast<WORD>(d);
  t.wHour = static_cast<WORD>(h);
  t.wMinute = static_cast<WORD>(mi);
  t.wSecond = static_cast<WORD>(s);
  FILETIME ft;
  if (!SystemTimeToFileTime(&t, &ft)) return -1;
  return static_cast<long long>((static_cast<unsigned long long>(ft.dwHighDateTime) << 32 | ft.dwLowDateTime) /
                                10000000ULL);
}

long long NowSeconds() {
  FILETIME ft;
  GetSystemTimeAsFileTime(&ft);
  return static_cast<long long>((static_cast<unsigned long long>(ft.dwHighDateTime) << 32 | ft.dwLowDateTime) /
                                10000000ULL);
}

std::string UserName() {
  char name[256];
  DWORD size = sizeof name;
  return GetUserNameA(name, &size) ? name : "";
}

}  // namespace

TEST_F(InstallationRecord, WritesEveryValueOfTheRecord) {
  // "Szerkesztő" (ő = 0xF5): the record carries code page 1250 text as it stands
  WriteDescription("[System]\nRootDirectory=V92Demo\nCadSystem=" + cad_ +
                   "\nSubSystem=Szerkeszt\xf5 Demo\nVersion=9.2 (2026)\n");
  long long before = NowSeconds();
  WriteInstallationRecord();
  long long after = NowSeconds();

  EXPECT_EQ(Value("SubSystem"), "Szerkeszt\xf5 Demo");
  EXPECT_EQ(Value("System Version"), "9.2 (2026)");
  EXPECT_EQ(Value("Installed Path"), "T:\\V92Demo");
  ASSERT_FALSE(UserName().empty());
  EXPECT_EQ(Value("Installed By"), UserName());
  // The system clock, not local time: the stamp lies between the two readings of the UTC clock.
  std::string stamp = Value("Installed Time");
  long long at = ParseInstalledTime(stamp);
  EXPECT_GE(at, before) << stamp;
  EXPECT_LE(at, after) << stamp;
  EXPECT_EQ(ValueNames(root_, key_).size(), 5u);
}

TEST_F(InstallationRecord, LivesInThe32BitViewWhereTheInstalledSystemReadsIt) {
  WriteDescription("[System]\nCadSystem=" + cad_ + "\nSubSystem=Demo\nVersion=9.2\n");
  WriteInstallationRecord();
  EXPECT_EQ(Value("SubSystem"), "Demo");
  // A system with a 64-bit view (a 64-bit build, or a 32-bit one under WoW64) finds nothing there.
  BOOL wow64 = FALSE;
  if (sizeof(void*) == 8 || (IsWow64Process(GetCurrentProcess(), &wow64) && wow64)) {
    HKEY view64 = nullptr;
    LONG rc = RegOpenKeyExA(HKEY_LOCAL_MACHINE, ("Software\\" + key_).c_str(), 0, KEY_READ | KEY_WOW64_64KEY, &view64);
    if (rc == ERROR_SUCCESS) RegCloseKey(view64);
    EXPECT_EQ(rc, ERROR_FILE_NOT_FOUND) << "the record is in the 64-bit view";
  }
}

TEST_F(InstallationRecord, StopsAtTheFirstMissingDescriptionValue) {
  struct Case {
    const char* system;  // the [System] section after RootDirectory; CAD stands for the test's name
    bool keyExpected;
    std::vector<std::string> values;
  } cases[] = {
      {"SubSystem=Demo\nVersion=9.2\n", false, {}},                       // no CadSystem: no key at all
      {"CadSystem=\nSubSystem=Demo\nVersion=9.2\n", false, {}},           // empty CadSystem
      {"CadSystem=*CAD\nSubSystem=Demo\nVersion=9.2\n", false, {}},       // a star makes it absent
      {"CadSystem=CAD\nVersion=9.2\n", false, {}},                        // no SubSystem: nothing written
      {"CadSystem=CAD\nSubSystem=Demo\n", true, {"SubSystem"}},           // no Version: SubSystem only
      {"CadSystem=CAD\nSubSystem=Demo\nVersion=*9.2\n", true, {"SubSystem"}},
  };
  for (const Case& c : cases) {
    std::string system = c.system;
    for (size_t at; (at = system.find("CAD")) != std::string::npos;) system.replace(at, 3, cad_);
    WriteDescription("[System]\nRootDirectory=V92Demo\n" + system);
    WriteInstallationRecord();
    EXPECT_EQ(KeyExists(root_, key_), c.keyExpected) << c.system;
    EXPECT_EQ(ValueNames(root_, key_), c.values) << c.system;
    DeleteTree(root_, key_);
  }
}

TEST_F(InstallationRecord, ClearsTheUninstallMarksOnlyAsAPair) {
  WriteDescription("[System]\nCadSystem=" + cad_ + "\nSubSystem=Demo\nVersion=9.2\n");

  // A lone time stamp is not an uninstaller's mark: it stays.
  Seed("UnInstalled Time", "2025.01.02. 03:04:05");
  WriteInstallationRecord();
  EXPECT_EQ(Value("UnInstalled Time"), "2025.01.02. 03:04:05");
  EXPECT_EQ(Value("SubSystem"), "Demo");

  // With "UnInstalled By" both go.
  Seed("UnInstalled By", "someone");
  WriteInstallationRecord();
  EXPECT_EQ(Value("UnInstalled By"), "<missing>");
  EXPECT_EQ(Value("UnInstalled Time"), "<missing>");

  // "UnInstalled By" alone goes too; the absent time stamp is no obstacle.
  Seed("UnInstalled By", "someone");
  WriteInstallationRecord();
  EXPECT_EQ(Value("UnInstalled By"), "<missing>");
  EXPECT_EQ(Value("Installed Path"), "T:\\V92Demo");
}

TEST_F(InstallationRecord, ASecondInstallationOverwritesTheFirst) {
  WriteDescription("[System]\nCadSystem=" + cad_ + "\nSubSystem=Demo 2\nVersion=9.3\n");
  Seed("SubSystem", "Demo 1");
  Seed("System Version", "9.2");
  Seed("Installed Time", "1999.01.01. 00:00:00");
  Seed("Installed Path", "C:\\Old");
  Seed("Installed By", "an earlier user");
  Seed("Unrelated", "kept");

  quarn_test::ChooseTarget(21, "Quarn Demo");  // U:
  WriteInstallationRecord();

  EXPECT_EQ(Value("SubSystem"), "Demo 2");
  EXPECT_EQ(Value("System Version"), "9.3");
  EXPECT_NE(Value("Installed Time"), "1999.01.01. 00:00:00");
  EXPECT_GT(ParseInstalledTime(Value("Installed Time")), 0);
  EXPECT_EQ(Value("Installed Path"), "U:\\Quarn Demo");
  EXPECT_EQ(Value("Installed By"), UserName());
  EXPECT_EQ(Value("Unrelated"), "kept");
}

class RegistryOperations : public StagedDescriptionTest {
 protected:
  void SetUp() override {
    StagedDescriptionTest::SetUp();
    base_ = "Software\\" + Unique("QuarnTestRegOps");
    DeleteTree(HKEY_LOCAL_MACHINE, base_);
  }
  void TearDown() override {
    DeleteTree(HKEY_LOCAL_MACHINE, base_);
    StagedDescriptionTest::TearDown();
  }
  std::string base_;
};

TEST_F(RegistryOperations, WriteCreatesMissingParentsAndStoresTheTerminator) {
  std::string deep = base_ + "\\a\\b c\\d";
  EXPECT_TRUE(WriteRegistryString(HKEY_LOCAL_MACHINE, deep.c_str(), "Name", "text"));
  EXPECT_EQ(ReadString(HKEY_LOCAL_MACHINE, deep, "Name"), "text");  // checks REG_SZ and size 5
  EXPECT_TRUE(WriteRegistryString(HKEY_LOCAL_MACHINE, deep.c_str(), nullptr, "default"));
  EXPECT_EQ(ReadString(HKEY_LOCAL_MACHINE, deep, nullptr), "default");
  EXPECT_TRUE(WriteRegistryString(HKEY_LOCAL_MACHINE, deep.c_str(), "Empty", ""));
  EXPECT_EQ(ReadString(HKEY_LOCAL_MACHINE, deep, "Empty"), "");
}

TEST_F(RegistryOperations, ReadAndDeleteNeedAnExistingKeyAndValue) {
  char buf[16] = "unchanged";
  EXPECT_FALSE(ReadRegistryValue(HKEY_LOCAL_MACHINE, base_.c_str(), "Name", buf, sizeof buf));
  EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, base_)) << "reading must not create the key";
  EXPECT_FALSE(DeleteRegistryValue(HKEY_LOCAL_MACHINE, base_.c_str(), "Name"));
  EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, base_)) << "deleting must not create the key";

  ASSERT_TRUE(WriteRegistryString(HKEY_LOCAL_MACHINE, base_.c_str(), "Name", "value"));
  EXPECT_FALSE(ReadRegistryValue(HKEY_LOCAL_MACHINE, base_.c_str(), "Other", buf, sizeof buf));
  EXPECT_TRUE(ReadRegistryValue(HKEY_LOCAL_MACHINE, base_.c_str(), "Name", buf, sizeof buf));
  EXPECT_STREQ(buf, "value");
  EXPECT_TRUE(DeleteRegistryValue(HKEY_LOCAL_MACHINE, base_.c_str(), "Name"));
  EXPECT_FALSE(DeleteRegistryValue(HKEY_LOCAL_MACHINE, base_.c_str(), "Name"));
  EXPECT_FALSE(ReadRegistryValue(HKEY_LOCAL_MACHINE, base_.c_str(), "Name", buf, sizeof buf));
  EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, base_));
}

TEST_F(RegistryOperations, ReadNeverHandsBackAnUnterminatedString) {
  // Another program may store a string without its terminator, or one longer than the buffer.
  HKEY k = nullptr;
  ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, base_.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &k, nullptr),
            ERROR_SUCCESS);
  RegSetValueExA(k, "Bare", 0, REG_SZ, reinterpret_cast<const BYTE*>("abcd"), 4);
  RegSetValueExA(k, "Full", 0, REG_SZ, reinterpret_cast<const BYTE*>("abcdefgh"), 8);
  RegSetValueExA(k, "Long", 0, REG_SZ, reinterpret_cast<const BYTE*>("abcdefghijk"), 12);
  RegCloseKey(k);

  char buf[8];
  memset(buf, 'x', sizeof buf);
  EXPECT_TRUE(ReadRegistryValue(HKEY_LOCAL_MACHINE, base_.c_str(), "Bare", buf, sizeof buf));
  EXPECT_STREQ(buf, "abcd");
  // A value that needs the whole buffer without leaving room for a terminator, or more: not read, and
  // the buffer is still a terminated string.
  for (const char* name : {"Full", "Long"}) {
    memset(buf, 'x', sizeof buf);
    EXPECT_FALSE(ReadRegistryValue(HKEY_LOCAL_MACHINE, base_.c_str(), name, buf, sizeof buf)) << name;
    EXPECT_LT(strnlen(buf, sizeof buf), sizeof buf) << name;
  }
}

// The results a caller and the log see: the registry's own answer, not a yes/no that hides "not there"
// behind "refused".
TEST_F(RegistryOperations, EachOperationReturnsTheRegistrysAnswer) {
  ASSERT_EQ(RegWriteString(HKEY_LOCAL_MACHINE, base_.c_str(), "Name", "value"), ERROR_SUCCESS);
  ASSERT_EQ(RegWriteString(HKEY_LOCAL_MACHINE, base_.c_str(), "Long", "0123456789abcdef"), ERROR_SUCCESS);
  const std::string missingKey = base_ + "\\Missing";
  // Not a key this process opened: every operation on it is refused by the registry itself.
  const HKEY bogus = reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(0x7ff0));

  struct Case {
    const char* what;
    std::function<LONG(char* buf, DWORD size)> run;
    LONG expected;
    bool emptiesBuffer;  // a failed read hands back "", never the buffer's old bytes
  };
  const Case cases[] = {
      {"read from a missing key",
       [&](char* b, DWORD n) { return RegReadString(HKEY_LOCAL_MACHINE, missingKey.c_str(), "Name", b, n); },
       ERROR_FILE_NOT_FOUND, true},
      {"read a missing value",
       [&](char* b, DWORD n) { return RegReadString(HKEY_LOCAL_MACHINE, base_.c_str(), "Other", b, n); },
       ERROR_FILE_NOT_FOUND, true},
      {"read a value longer than the buffer",
       [&](char* b, DWORD n) { return RegReadString(HKEY_LOCAL_MACHINE, base_.c_str(), "Long", b, n); },
       ERROR_MORE_DATA, true},
      {"read into no buffer at all",
       [&](char* b, DWORD) { return RegReadString(HKEY_LOCAL_MACHINE, base_.c_str(), "Name", b, 0); },
       ERROR_MORE_DATA, false},
      {"remove from a missing key",
       [&](char*, DWORD) { return RegRemoveValue(HKEY_LOCAL_MACHINE, missingKey.c_str(), "Name"); },
       ERROR_FILE_NOT_FOUND, false},
      {"remove a missing value",
       [&](char*, DWORD) { return RegRemoveValue(HKEY_LOCAL_MACHINE, base_.c_str(), "Other"); },
       ERROR_FILE_NOT_FOUND, false},
      {"write a string below a bad root",
       [&](char*, DWORD) { return RegWriteString(bogus, "Sub", "Name", "value"); }, ERROR_INVALID_HANDLE, false},
      {"write a DWORD below a bad root",
       [&](char*, DWORD) { return RegWriteDword(bogus, "Sub", "Name", 7); }, ERROR_INVALID_HANDLE, false},
      {"read below a bad root",
       [&](char* b, DWORD n) { return RegReadString(bogus, "Sub", "Name", b, n); }, ERROR_INVALID_HANDLE, true},
  };
  for (const Case& c : cases) {
    char buf[8];
    memset(buf, 'x', sizeof buf);
    EXPECT_EQ(c.run(buf, sizeof buf), c.expected) << c.what;
    if (c.emptiesBuffer) {
      EXPECT_STREQ(buf, "") << c.what;
    }
  }
  EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, missingKey)) << "reading or removing must not create the key";

  char buf[8];
  EXPECT_EQ(RegReadString(HKEY_LOCAL_MACHINE, base_.c_str(), "Name", buf, sizeof buf), ERROR_SUCCESS);
  EXPECT_STREQ(buf, "value");
  EXPECT_EQ(RegRemoveValue(HKEY_LOCAL_MACHINE, base_.c_str(), "Name"), ERROR_SUCCESS);
  EXPECT_EQ(RegRemoveValue(HKEY_LOCAL_MACHINE, base_.c_str(), "Name"), ERROR_FILE_NOT_FOUND);
}

TEST_F(RegistryOperations, DwordValuesAreStoredAsFourBytesOfTypeDword) {
  const std::string deep = base_ + "\\Entry";
  ASSERT_EQ(RegWriteDword(HKEY_LOCAL_MACHINE, deep.c_str(), "EstimatedSize", 0x12345678u), ERROR_SUCCESS);
  ASSERT_EQ(RegWriteDword(HKEY_LOCAL_MACHINE, deep.c_str(), "NoModify", 1), ERROR_SUCCESS);
  for (const auto& want : std::vector<std::pair<const char*, DWORD>>{{"EstimatedSize", 0x12345678u}, {"NoModify", 1}}) {
    DWORD type = 0, data = 0, size = sizeof data;
    HKEY k = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, deep.c_str(), 0, KEY_READ, &k), ERROR_SUCCESS);
    const LONG rc = RegQueryValueExA(k, want.first, nullptr, &type, reinterpret_cast<BYTE*>(&data), &size);
    RegCloseKey(k);
    EXPECT_EQ(rc, ERROR_SUCCESS) << want.first;
    EXPECT_EQ(type, static_cast<DWORD>(REG_DWORD)) << want.first;
    EXPECT_EQ(size, sizeof(DWORD)) << want.first;
    EXPECT_EQ(data, want.second) << want.first;
  }
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
