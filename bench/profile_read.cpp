// profile_read.exe FILE_LIST N
// Times what the copy engine does per entry of a staged file list: GetPrivateProfileStringA of
// File1..File(N+1) in section Setup (the last one is absent and ends the list). Prints "ms=T found=F".
#include <windows.h>

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
  if (argc < 3) return 2;
  int n = atoi(argv[2]);
  LARGE_INTEGER f, t0, t1;
  QueryPerformanceFrequency(&f);
  QueryPerformanceCounter(&t0);
  int found = 0;
  char value[256], key[32];
  for (int i = 1; i <= n + 1; ++i) {
    snprintf(key, sizeof key, "File%d", i);
    GetPrivateProfileStringA("Setup", key, "*", value, sizeof value, argv[1]);
    if (value[0] != '*') ++found;
  }
  QueryPerformanceCounter(&t1);
  printf("ms=%.2f found=%d\n", (t1.QuadPart - t0.QuadPart) * 1000.0 / f.QuadPart, found);
  return found == n ? 0 : 1;
}
