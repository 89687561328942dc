// plant_control.exe STEP...: the DLL-planting test's control program. It first restricts its DLL search to
// the system folder (SetDefaultDllDirectories) exactly as the installer does, then runs each step and prints
// one line for it:
//   full:NAME  loads NAME by its full path in the system folder with the installer's flags
//   bare:NAME  loads NAME by its bare name (the default search, now the system folder only)
//   url:URL    opens URL with the WinINet loaded by an earlier full:wininet.dll step and reads its first
//              bytes (what the system's WinINet loads for an HTTPS connection, it loads now)
// A crash (a planted DLL that provides nothing) ends the program with exit code 3 instead of a debugger.
// A planted DLL that shows up after such a run was loaded by the system's own DLLs, not by the installer.
#include <windows.h>

#include <cstdio>
#include <cstring>

#ifndef LOAD_LIBRARY_SEARCH_SYSTEM32
#define LOAD_LIBRARY_SEARCH_SYSTEM32 0x00000800
#endif
#ifndef LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR
#define LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR 0x00000100
#endif

namespace {

LONG WINAPI EndOnCrash(EXCEPTION_POINTERS* info) {
  printf("crashed (exception %08lx)\n", static_cast<unsigned long>(info->ExceptionRecord->ExceptionCode));
  fflush(stdout);
  ExitProcess(3);
}

bool OpenUrl(const char* url) {
  using OpenFn = void*(WINAPI*)(const char*, DWORD, const char*, const char*, DWORD);
  using OpenUrlFn = void*(WINAPI*)(void*, const char*, const char*, DWORD, DWORD, DWORD_PTR);
  using ReadFn = BOOL(WINAPI*)(void*, void*, DWORD, DWORD*);
  using CloseFn = BOOL(WINAPI*)(void*);
  HMODULE wininet = GetModuleHandleA("wininet.dll");
  if (wininet == nullptr) return false;
  auto open = reinterpret_cast<OpenFn>(reinterpret_cast<void*>(GetProcAddress(wininet, "InternetOpenA")));
  auto openUrl = reinterpret_cast<OpenUrlFn>(reinterpret_cast<void*>(GetProcAddress(wininet, "InternetOpenUrlA")));
  auto read = reinterpret_cast<ReadFn>(reinterpret_cast<void*>(GetProcAddress(wininet, "InternetReadFile")));
  auto close = reinterpret_cast<CloseFn>(reinterpret_cast<void*>(GetProcAddress(wininet, "InternetCloseHandle")));
  if (open == nullptr || openUrl == nullptr || read == nullptr || close == nullptr) return false;
  void* session = open("plant_control", 1 /* INTERNET_OPEN_TYPE_DIRECT */, nullptr, nullptr, 0);
  if (session == nullptr) return false;
  // INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE
  void* request = openUrl(session, url, nullptr, 0, 0x80000000u | 0x04000000u, 0);
  bool ok = false;
  if (request != nullptr) {
    char buffer[64];
    DWORD got = 0;
    ok = read(request, buffer, sizeof buffer, &got) != FALSE && got > 0;
    close(request);
  }
  close(session);
  return ok;
}

}  // namespace

int main(int argc, char** argv) {
  SetUnhandledExceptionFilter(EndOnCrash);
  using SetDefaultDllDirectoriesFn = BOOL(WINAPI*)(DWORD);
  auto setDefault = reinterpret_cast<SetDefaultDllDirectoriesFn>(reinterpret_cast<void*>(
      GetProcAddress(GetModuleHandleA("kernel32.dll"), "SetDefaultDllDirectories")));
  if (setDefault == nullptr || !setDefault(LOAD_LIBRARY_SEARCH_SYSTEM32)) {
    printf("SetDefaultDllDirectories failed\n");
    return 2;
  }
  for (int i = 1; i < argc; ++i) {
    const char* step = argv[i];
    HMODULE m = nullptr;
    if (strncmp(step, "full:", 5) == 0) {
      char path[MAX_PATH];
      const UINT n = GetSystemDirectoryA(path, MAX_PATH);
      if (n == 0 || n + 2 + strlen(step + 5) >= MAX_PATH) return 2;
      lstrcatA(path, "\\");
      lstrcatA(path, step + 5);
      m = LoadLibraryExA(path, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32 | LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR);
    } else if (strncmp(step, "bare:", 5) == 0) {
      m = LoadLibraryA(step + 5);
    } else if (strncmp(step, "url:", 4) == 0) {
      const bool ok = OpenUrl(step + 4);
      const DWORD error = GetLastError();
      printf(ok ? "%s read\n" : "%s not read (error %lu)\n", step, static_cast<unsigned long>(error));
      fflush(stdout);
      continue;
    } else {
      printf("%s: unknown step\n", step);
      return 2;
    }
    const DWORD error = GetLastError();
    if (m != nullptr) {
      printf("%s loaded\n", step);
    } else {
      printf("%s not loaded (error %lu)\n", step, static_cast<unsigned long>(error));
    }
  }
  fflush(stdout);
  return 0;
}
