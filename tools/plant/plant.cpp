// plant.dll: the stand-in for a DLL a web page could leave beside the installer. Copied under the names of
// the DLLs the installer uses (wininet.dll, bcrypt.dll, ...); when a process loads it, it writes
// "<its own path>.loaded" holding the loading program's path, so a test can tell it was ever loaded.
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE self, DWORD reason, LPVOID) {
  if (reason != DLL_PROCESS_ATTACH) return TRUE;
  char path[MAX_PATH + 8];
  const DWORD n = GetModuleFileNameA(self, path, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return TRUE;
  lstrcatA(path, ".loaded");
  char program[MAX_PATH];
  const DWORD m = GetModuleFileNameA(nullptr, program, MAX_PATH);
  HANDLE f = CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (f != INVALID_HANDLE_VALUE) {
    DWORD written = 0;
    WriteFile(f, program, m < MAX_PATH ? m : 0, &written, nullptr);
    CloseHandle(f);
  }
  // Refused: the process goes on without it if it looked elsewhere next; the marker is what counts.
  return FALSE;
}
