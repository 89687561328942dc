// Test support for the installation steps: a staged Install.ini written by the test itself, and small
// readers of the real registry. Every test names its own keys after the process id and removes them.
#pragma once
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "base/scoped_handle_win.h"
#include "state/install_state_win.h"
#include "test_files.h"

namespace quarn_test {

// A fresh g_state and a staged Install.ini in a private temporary folder.
class StagedDescriptionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetInstallState();
    char temp[MAX_PATH];
    ASSERT_GT(GetTempPathA(sizeof temp, temp), 0u);
    const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
    folder_ = std::string(temp) + "quarn_steps_" + std::to_string(GetCurrentProcessId()) + "_" + info->name();
    CreateDirectoryA(folder_.c_str(), nullptr);
    path_ = folder_ + "\\Install.ini";
    ASSERT_LT(path_.size(), sizeof g_state.paths.descriptionPath);
    strcpy(g_state.paths.descriptionPath, path_.c_str());
    char windir[sizeof g_state.process.windowsFolder];
    DWORD n = GetEnvironmentVariableA("windir", windir, sizeof windir);
    ASSERT_TRUE(n > 0 && n < sizeof windir);
    strcpy(g_state.process.windowsFolder, windir);
  }
  void TearDown() override {
    DeleteFileA(path_.c_str());
    RemoveDirectoryA(folder_.c_str());
  }

  // Writes the description byte for byte (code page 1250 texts stay as they are) with CRLF lines.
  void WriteDescription(const std::string& text) { ASSERT_TRUE(WriteCrLfFile(path_, text)) << path_; }

  // A name no other test run uses: prefix + process id.
  static std::string Unique(const char* prefix) { return prefix + std::to_string(GetCurrentProcessId()); }

  std::string folder_, path_;
};

// The key opened for reading; an empty owner when it is not there.
inline ScopedRegKey OpenForReading(HKEY root, const std::string& path) {
  HKEY k = nullptr;
  return ScopedRegKey(RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &k) == ERROR_SUCCESS ? k : nullptr);
}

inline bool KeyExists(HKEY root, const std::string& path) { return OpenForReading(root, path).valid(); }

// A string value as stored: "<missing>" when absent; the type and byte size are checked here so that
// every caller also checks that the value is a REG_SZ whose size counts the terminating zero.
inline std::string ReadString(HKEY root, const std::string& path, const char* name) {
  const ScopedRegKey k = OpenForReading(root, path);
  if (!k) return "<missing>";
  char data[1024] = "";
  DWORD type = 0, size = sizeof data - 1;
  if (RegQueryValueExA(k.get(), name, nullptr, &type, reinterpret_cast<BYTE*>(data), &size) != ERROR_SUCCESS) {
    return "<missing>";
  }
  if (type != REG_SZ) return "<type " + std::to_string(type) + ">";
  if (size == 0 || data[size - 1] != '\0' || strlen(data) + 1 != size) return "<size " + std::to_string(size) + ">";
  return data;
}

// The names of a key's values ("" for the default value), in the registry's order.
inline std::vector<std::string> ValueNames(HKEY root, const std::string& path) {
  std::vector<std::string> names;
  const ScopedRegKey k = OpenForReading(root, path);
  if (!k) return names;
  for (DWORD i = 0;; ++i) {
    char name[512];
    DWORD len = sizeof name;
    if (RegEnumValueA(k.get(), i, name, &len, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
    names.emplace_back(name, len);
  }
  return names;
}

inline DWORD SubkeyCount(HKEY root, const std::string& path) {
  const ScopedRegKey k = OpenForReading(root, path);
  DWORD subkeys = 0;
  if (k) {
    RegQueryInfoKeyA(k.get(), nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, nullptr, nullptr, nullptr,
                     nullptr, nullptr);
  }
  return subkeys;
}

// Removes a key with everything below it (RegDeleteTreeA empties it, RegDeleteKeyA removes it).
inline void DeleteTree(HKEY root, const std::string& path) {
  RegDeleteTreeA(root, path.c_str());
  RegDeleteKeyA(root, path.c_str());
}

}  // namespace quarn_test
