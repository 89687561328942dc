// holdfile.exe PATH READY STOP [MS]: holds PATH open for reading and writing with no sharing at all (as a
// running program or a virus scanner does), writes READY once it holds it, and lets go when the file STOP
// appears, or after MS milliseconds when given. Exit code 0 after letting go, 2 when PATH cannot be held.
// The files-in-use test uses it as the other program.
#include <windows.h>

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
  if (argc < 4) {
    fprintf(stderr, "usage: holdfile PATH READY STOP [MS]\n");
    return 1;
  }
  HANDLE held = CreateFileA(argv[1], GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                            nullptr);
  if (held == INVALID_HANDLE_VALUE) {
    fprintf(stderr, "cannot hold %s (error %lu)\n", argv[1], static_cast<unsigned long>(GetLastError()));
    return 2;
  }
  HANDLE ready = CreateFileA(argv[2], GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (ready != INVALID_HANDLE_VALUE) CloseHandle(ready);
  const DWORD start = GetTickCount();
  const DWORD forMs = argc > 4 ? static_cast<DWORD>(strtoul(argv[4], nullptr, 10)) : INFINITE;
  // Polled: the stop file comes from the test outside Wine, which can signal no Windows event.
  while (GetFileAttributesA(argv[3]) == INVALID_FILE_ATTRIBUTES) {
    if (forMs != INFINITE && GetTickCount() - start >= forMs) break;
    Sleep(20);
  }
  CloseHandle(held);
  return 0;
}
