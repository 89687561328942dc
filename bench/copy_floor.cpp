// copy_floor.exe SOURCE_FOLDER TARGET_FOLDER
// The platform's floor for the copy phase: a bare copy loop under the same Wine, per file what any copy
// must do (open the source, read it, create the target, write it, carry over the times, close both),
// with the installer's 512,000-byte buffer. The file names are listed before the clock starts (the
// installer knows them from its list). Prints "files=N bytes=B ms=T".
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

int main(int argc, char** argv) {
  if (argc < 3) {
    fprintf(stderr, "usage: copy_floor SOURCE_FOLDER TARGET_FOLDER\n");
    return 2;
  }
  const std::string from = argv[1], to = argv[2];
  std::vector<std::string> names;
  WIN32_FIND_DATAA d;
  HANDLE find = FindFirstFileA((from + "\\*").c_str(), &d);
  if (find == INVALID_HANDLE_VALUE) return 1;
  do {
    if (!(d.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) names.push_back(d.cFileName);
  } while (FindNextFileA(find, &d));
  FindClose(find);
  CreateDirectoryA(to.c_str(), nullptr);

  std::vector<char> buffer(512000);
  LARGE_INTEGER freq, t0, t1;
  QueryPerformanceFrequency(&freq);
  QueryPerformanceCounter(&t0);
  unsigned long long total = 0;
  int failures = 0;
  for (const std::string& name : names) {
    HANDLE source = CreateFileA((from + "\\" + name).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (source == INVALID_HANDLE_VALUE) {
      ++failures;
      continue;
    }
    FILETIME created, accessed, written;
    GetFileTime(source, &created, &accessed, &written);
    HANDLE target = CreateFileA((to + "\\" + name).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (target == INVALID_HANDLE_VALUE) {
      CloseHandle(source);
      ++failures;
      continue;
    }
    DWORD got = 0;
    while (ReadFile(source, buffer.data(), static_cast<DWORD>(buffer.size()), &got, nullptr) && got > 0) {
      DWORD put = 0;
      if (!WriteFile(target, buffer.data(), got, &put, nullptr) || put != got) {
        ++failures;
        break;
      }
      total += put;
    }
    SetFileTime(target, &created, &accessed, &written);
    CloseHandle(target);
    CloseHandle(source);
  }
  QueryPerformanceCounter(&t1);
  printf("files=%d bytes=%llu ms=%.1f failures=%d\n", static_cast<int>(names.size()), total,
         (t1.QuadPart - t0.QuadPart) * 1000.0 / freq.QuadPart, failures);
  return failures ? 1 : 0;
}
