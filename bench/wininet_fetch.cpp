// wininet_fetch.exe URLS_FILE OUTDIR [BUFFER_BYTES]
// The bare platform loop the installer's download is measured against: one WinINet session, each URL
// opened with the installer's request flags, read to the end into one buffer, written to a file.
// Prints "bytes=N ms=T files=F".
#include <windows.h>
#include <wininet.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

int main(int argc, char** argv) {
  if (argc < 3) {
    fprintf(stderr, "usage: wininet_fetch URLS_FILE OUTDIR [BUFFER_BYTES]\n");
    return 2;
  }
  FILE* list = fopen(argv[1], "r");
  if (!list) return 2;
  DWORD bufferSize = argc > 3 ? static_cast<DWORD>(atol(argv[3])) : 512000;
  std::vector<char> buffer(bufferSize);
  LARGE_INTEGER freq, t0, t1;
  QueryPerformanceFrequency(&freq);
  QueryPerformanceCounter(&t0);
  HINTERNET session = InternetOpenA("QuarnCAD UpDate", INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0);
  if (!session) return 1;
  char url[2048];
  unsigned long long total = 0;
  int files = 0, failures = 0;
  while (fgets(url, sizeof url, list)) {
    url[strcspn(url, "\r\n")] = '\0';
    if (!url[0]) continue;
    HINTERNET req = InternetOpenUrlA(session, url, nullptr, 0,
                                     INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_NO_AUTH, 0);
    if (!req) {
      ++failures;
      continue;
    }
    char path[MAX_PATH];
    snprintf(path, sizeof path, "%s\\f%05d", argv[2], files++);
    HANDLE out = CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    DWORD n = 0;
    while (InternetReadFile(req, buffer.data(), bufferSize, &n) && n > 0) {
      DWORD written = 0;
      WriteFile(out, buffer.data(), n, &written, nullptr);
      total += n;
    }
    CloseHandle(out);
    InternetCloseHandle(req);
  }
  InternetCloseHandle(session);
  QueryPerformanceCounter(&t1);
  printf("bytes=%llu ms=%.1f files=%d failures=%d\n", total,
         (t1.QuadPart - t0.QuadPart) * 1000.0 / freq.QuadPart, files, failures);
  return failures ? 1 : 0;
}
