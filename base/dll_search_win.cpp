#include "base/dll_search_win.h"

#include <windows.h>

#include <delayimp.h>
#include <string.h>

#ifndef LOAD_LIBRARY_SEARCH_SYSTEM32
#define LOAD_LIBRARY_SEARCH_SYSTEM32 0x00000800
#endif
constexpr DWORD kSearchDllLoadDir = 0x00000100;  // LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR

namespace {

// Set once at the start, before the second thread exists.
bool g_restricted = false;

// The delay-load helper asks this before it loads a DLL: the DLL is loaded here by its full path in the
// system folder, so no search takes place at all (a search by bare name honours the restriction on Windows,
// but under Wine the common controls were seen to come from beside the program even so). The DLLs it
// needs are looked for in the system folder too.
FARPROC WINAPI LoadFromSystemFolder(unsigned notification, PDelayLoadInfo info) {
  if (notification != dliNotePreLoadLibrary || info == nullptr || info->szDll == nullptr) return nullptr;
  char path[MAX_PATH];
  const UINT length = GetSystemDirectoryA(path, MAX_PATH);
  const size_t name = strlen(info->szDll);
  // A DLL name with a folder in it, or a path that does not fit, is never loaded from anywhere else: the
  // helper's failure ends the program rather than search beside it.
  if (length == 0 || length >= MAX_PATH || strpbrk(info->szDll, "\\/:") != nullptr ||
      length + 1 + name >= MAX_PATH) {
    return reinterpret_cast<FARPROC>(-1);
  }
  path[length] = '\\';
  memcpy(path + length + 1, info->szDll, name + 1);
  HMODULE module = g_restricted ? LoadLibraryExA(path, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32 | kSearchDllLoadDir)
                                : LoadLibraryExA(path, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
  return module != nullptr ? reinterpret_cast<FARPROC>(module) : reinterpret_cast<FARPROC>(-1);
}

}  // namespace

bool RestrictDllSearchToSystemFolder() {
  __pfnDliNotifyHook2 = LoadFromSystemFolder;
  // kernel32 is a KnownDLL and already mapped; the function is looked up because Vista and an unpatched 7
  // lack it.
  using SetDefaultDllDirectoriesFn = BOOL(WINAPI*)(DWORD);
  HMODULE kernel = GetModuleHandleA("kernel32.dll");
  auto setDefault = kernel != nullptr ? reinterpret_cast<SetDefaultDllDirectoriesFn>(reinterpret_cast<void*>(
                                            GetProcAddress(kernel, "SetDefaultDllDirectories")))
                                      : nullptr;
  g_restricted = setDefault != nullptr && setDefault(LOAD_LIBRARY_SEARCH_SYSTEM32) != FALSE;
  if (!g_restricted) {
    // At least the current folder leaves the search.
    SetDllDirectoryA("");
  }
  return g_restricted;
}
