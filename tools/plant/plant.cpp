// plant.dll: the stand-in for a DLL a web page could leave beside the installer. Copied under the names of
// DLLs a program may load (wininet.dll, bcrypt.dll, ...); whenever a process loads it, it appends the
// loading program's path as one line to "<its own path>.loaded", so a test can tell it was ever loaded and
// by which program. It exports nothing and refuses to initialise: a process that loaded it gets no function
// of it, whatever it looked for.
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE self, DWORD reason, LPVOID) {
  if (reason != DLL_PROCESS_ATTACH) return TRUE;
  char path[MAX_PATH + 8];
  const DWORD n = GetModuleFileNameA(self, path, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return FALSE;
  lstrcatA(path, ".loaded");
  char line[MAX_PATH + 2];
  DWORD m = GetModuleFileNameA(nullptr, line, MAX_PATH);
  if (m >= MAX_PATH) m = 0;
  line[m++] = '\r';
  line[m++] = '\n';
  HANDLE f = CreateFileA(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  if (f != INVALID_HANDLE_VALUE) {
    DWORD written = 0;
    WriteFile(f, line, m, &written, nullptr);
    CloseHandle(f);
  }
  return FALSE;
}
