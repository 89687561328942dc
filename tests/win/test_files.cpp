#include "test_files.h"

#include <windows.h>

#include <cstring>

#include <gtest/gtest.h>

#include "base/scoped_handle_win.h"
#include "layout/install_layout.h"
#include "state/install_state_win.h"

namespace quarn_test {

void ChooseTarget(int32_t drive, const char* rootName) {
  g_state.choices.targetDrive = drive;
  strcpy(g_state.choices.rootName, rootName);
  FillRunFolders(drive, rootName, &g_state.paths);
}

bool MakeDirs(const std::string& path) {
  for (size_t i = 3; i <= path.size(); ++i) {
    if (i == path.size() || path[i] == '\\') {
      const std::string part = path.substr(0, i);
      if (!CreateDirectoryA(part.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) return false;
    }
  }
  return true;
}

bool WriteFileBytes(const std::string& path, const std::string& bytes) {
  const size_t slash = path.rfind('\\');
  if (slash != std::string::npos && !MakeDirs(path.substr(0, slash))) return false;
  ScopedFile f(CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!f) return false;
  DWORD put = 0;
  if (bytes.empty()) return true;
  return WriteFile(f.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &put, nullptr) && put == bytes.size();
}

bool WriteCrLfFile(const std::string& path, const std::string& text) {
  std::string crlf;
  for (char c : text) {
    if (c == '\n') crlf += '\r';
    crlf += c;
  }
  return WriteFileBytes(path, crlf);
}

void PutFile(const std::string& path, const std::string& bytes) {
  if (!WriteFileBytes(path, bytes)) ADD_FAILURE() << "could not write " << path << " (error " << GetLastError() << ")";
}

bool ReadFileBytes(const std::string& path, std::string* bytes) {
  ScopedFile f(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!f) return false;
  bytes->clear();
  char buf[65536];
  for (;;) {
    DWORD got = 0;
    if (!ReadFile(f.get(), buf, sizeof buf, &got, nullptr)) return false;
    if (got == 0) return true;
    bytes->append(buf, got);
  }
}

std::string FileBytes(const std::string& path, const std::string& whenMissing) {
  std::string bytes;
  return ReadFileBytes(path, &bytes) ? bytes : whenMissing;
}

bool PathExists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

bool FileExists(const std::string& path) {
  const DWORD a = GetFileAttributesA(path.c_str());
  return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

bool DirExists(const std::string& path) {
  const DWORD a = GetFileAttributesA(path.c_str());
  return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

void RemoveTree(const std::string& path) {
  std::string base = path;
  while (base.size() > 3 && base.back() == '\\') base.pop_back();
  WIN32_FIND_DATAA found;
  ScopedFind search(FindFirstFileA((base + "\\*").c_str(), &found));
  if (search) {
    do {
      const std::string name = found.cFileName;
      if (name == "." || name == "..") continue;
      const std::string child = base + "\\" + name;
      if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        RemoveTree(child);
      } else {
        SetFileAttributesA(child.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileA(child.c_str());
      }
    } while (FindNextFileA(search.get(), &found));
    search.reset();
  }
  RemoveDirectoryA(base.c_str());
}

std::string ExeFolder() {
  char path[MAX_PATH + 1] = "";
  const DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return "";
  std::string folder(path, n);
  return folder.substr(0, folder.find_last_of('\\') + 1);
}

}  // namespace quarn_test
