#include "live_web_support.h"

#include <cstdlib>
#include <cstring>

namespace live {

bool GetEnv(Env* env) {
  const char* tree = getenv("QUARN_WEB_TREE");
  const char* rules = getenv("QUARN_WEB_RULES");
  const char* log = getenv("QUARN_WEB_LOG");
  if (!tree || !rules || !log || !*tree) return false;
  env->tree = tree;
  if (env->tree.back() != '\\') env->tree += '\\';
  env->rules = rules;
  env->log = log;
  return true;
}

bool MakeDirs(const std::string& path) {
  for (size_t i = 3; i <= path.size(); ++i) {
    if (i == path.size() || path[i] == '\\') {
      std::string part = path.substr(0, i);
      if (!CreateDirectoryA(part.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) return false;
    }
  }
  return true;
}

bool WriteFileBytes(const std::string& path, const std::string& bytes) {
  size_t slash = path.rfind('\\');
  if (slash != std::string::npos && !MakeDirs(path.substr(0, slash))) return false;
  HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                         nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  BOOL ok = WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  CloseHandle(h);
  return ok && written == bytes.size();
}

bool ReadFileBytes(const std::string& path, std::string* bytes) {
  HANDLE h = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                         OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  bytes->clear();
  char buf[65536];
  DWORD got = 0;
  bool ok = true;
  while ((ok = ReadFile(h, buf, sizeof buf, &got, nullptr) != 0) && got > 0) bytes->append(buf, got);
  CloseHandle(h);
  return ok;
}

bool FileExists(const std::string& path) {
  DWORD a = GetFileAttributesA(path.c_str());
  return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

bool DirExists(const std::string& path) {
  DWORD a = GetFileAttributesA(path.c_str());
  return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

void DeleteTree(const std::string& path) {
  WIN32_FIND_DATAA fd;
  HANDLE f = FindFirstFileA((path + "\\*").c_str(), &fd);
  if (f != INVALID_HANDLE_VALUE) {
    do {
      if (!strcmp(fd.cFileName, ".") || !strcmp(fd.cFileName, "..")) continue;
      std::string child = path + "\\" + fd.cFileName;
      if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        DeleteTree(child);
      } else {
        SetFileAttributesA(child.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileA(child.c_str());
      }
    } while (FindNextFileA(f, &fd));
    FindClose(f);
  }
  RemoveDirectoryA(path.c_str());
}

void SetRules(const Env& env, const std::string& rulesJsonArray) {
  // Written aside and renamed over the old file: the servers never read a half-written file.
  std::string tmp = env.rules + ".w";
  WriteFileBytes(tmp, "{\"rules\": " + rulesJsonArray + "}\n");
  MoveFileExA(tmp.c_str(), env.rules.c_str(), MOVEFILE_REPLACE_EXISTING);
}

void ClearRequests(const Env& env) { WriteFileBytes(env.log, ""); }

std::vector<std::string> Requests(const Env& env) {
  std::string text;
  std::vector<std::string> lines;
  if (!ReadFileBytes(env.log, &text)) return lines;
  size_t start = 0;
  for (size_t nl; (nl = text.find('\n', start)) != std::string::npos; start = nl + 1) {
    lines.push_back(text.substr(start, nl - start));
  }
  return lines;
}

namespace {
bool PathEndsWith(const std::string& line, const std::string& suffix) {
  // scheme \t method \t path \t action
  size_t a = line.find('\t');
  size_t b = a == std::string::npos ? a : line.find('\t', a + 1);
  size_t c = b == std::string::npos ? b : line.find('\t', b + 1);
  if (c == std::string::npos) return false;
  std::string path = line.substr(b + 1, c - b - 1);
  return path.size() >= suffix.size() && path.compare(path.size() - suffix.size(), suffix.size(), suffix) == 0;
}
}  // namespace

int CountRequests(const Env& env, const std::string& pathSuffix) {
  int n = 0;
  for (const std::string& l : Requests(env)) n += PathEndsWith(l, pathSuffix) ? 1 : 0;
  return n;
}

int FirstRequest(const Env& env, const std::string& pathSuffix) {
  std::vector<std::string> all = Requests(env);
  for (size_t i = 0; i < all.size(); ++i) {
    if (PathEndsWith(all[i], pathSuffix)) return static_cast<int>(i);
  }
  return -1;
}

std::string PseudoRandomBytes(size_t n, unsigned seed) {
  std::string s(n, '\0');
  unsigned x = seed * 2654435761u + 12345u;
  for (size_t i = 0; i < n; ++i) {
    x = x * 1103515245u + 12345u;
    s[i] = static_cast<char>(x >> 16);
  }
  return s;
}

std::string FillerEncode(const std::string& content) {
  std::string stored;
  stored.reserve(content.size() * 2);
  for (size_t i = 0; i < content.size(); ++i) {
    stored += static_cast<char>(0x5A ^ (i & 0xFF));  // varying fillers: a decoder that keeps them shows
    stored += content[i];
  }
  return stored;
}

}  // namespace live
