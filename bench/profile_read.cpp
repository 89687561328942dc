// profile_read.exe LIST_FILE SECTION MODE
// Times the lookups of one file list, each mode in a fresh process (the platform caches a profile file
// per process):
//   index   - what the download does: the list's text in memory, an IniIndex built once, every File%i
//             of the section looked up until the first absent one;
//   section - what the copy engine does: one GetPrivateProfileSectionA, then every File%i from it;
//   perkey  - the per-key way: GetPrivateProfileStringA of every File%i.
// Prints "mode=M entries=N ms=T".
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "layout/profile_section.h"
#include "layout/profile_section_win.h"
#include "web/ini_index.h"

int main(int argc, char** argv) {
  if (argc < 4) return 2;
  const char* file = argv[1];
  const char* section = argv[2];
  const std::string mode = argv[3];
  LARGE_INTEGER f, t0, t1;
  QueryPerformanceFrequency(&f);
  std::vector<char> text;
  if (mode == "index") {
    // Reading the file is the download's network read, not a lookup: outside the clock.
    HANDLE h = CreateFileA(file, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) return 1;
    text.resize(GetFileSize(h, nullptr));
    DWORD got = 0;
    ReadFile(h, text.data(), static_cast<DWORD>(text.size()), &got, nullptr);
    CloseHandle(h);
  }
  QueryPerformanceCounter(&t0);
  int entries = 0;
  char value[256];
  char key[32];
  if (mode == "index") {
    IniIndex index(text.data(), static_cast<int>(text.size()));
    for (int i = 1;; ++i) {
      snprintf(key, sizeof key, "File%d", i);
      index.Find(section, key, value, sizeof value);
      if (value[0] == '*') break;
      ++entries;
    }
  } else if (mode == "section") {
    std::vector<char> buffer;
    if (!ReadProfileSection(file, section, &buffer)) return 1;
    ProfileSection list(buffer.data(), buffer.size());
    for (int i = 1;; ++i) {
      snprintf(key, sizeof key, "File%d", i);
      if (!list.Find(key, value, sizeof value) || value[0] == '*') break;
      ++entries;
    }
  } else {
    for (int i = 1;; ++i) {
      snprintf(key, sizeof key, "File%d", i);
      GetPrivateProfileStringA(section, key, "*", value, sizeof value, file);
      if (value[0] == '*') break;
      ++entries;
    }
  }
  QueryPerformanceCounter(&t1);
  printf("mode=%s entries=%d ms=%.2f\n", mode.c_str(), entries, (t1.QuadPart - t0.QuadPart) * 1000.0 / f.QuadPart);
  return entries > 0 ? 0 : 1;
}
