// plant_probe.exe NAME...: loads each DLL by its bare name the way a program that never restricted its DLL
// search would (LoadLibraryA), and prints "NAME loaded" or "NAME not loaded (error N)". The DLL-planting
// test runs it beside the planted DLLs first, to show that Wine, told to prefer them, does load them from
// beside a program: so that none of them loading for the installer means something.
#include <windows.h>

#include <cstdio>

int main(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    SetLastError(0xdeadbeef);
    HMODULE m = LoadLibraryA(argv[i]);
    const DWORD error = GetLastError();
    if (m != nullptr) {
      printf("%s loaded\n", argv[i]);
      FreeLibrary(m);
    } else {
      printf("%s not loaded (error %lu)\n", argv[i], static_cast<unsigned long>(error));
    }
  }
  return 0;
}
