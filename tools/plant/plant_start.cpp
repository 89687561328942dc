// plant_start.exe: imports the same KnownDLLs as the installer and ends at once. Under Wine, the builtin
// versions of those DLLs import further DLLs, which Wine resolves before any code of the program runs,
// looking beside the program first; the DLL-planting test runs this beside the planted DLLs to learn which
// ones those are (Windows takes the dependencies of a KnownDLL from the system folder).
#include <windows.h>

#include <commdlg.h>
#include <objbase.h>
#include <shlobj.h>

int main(int argc, char**) {
  // Never called (no run passes that many arguments): the calls only put the DLLs into the import table.
  if (argc > 1000) {
    char path[MAX_PATH];
    SHGetFolderPathA(nullptr, CSIDL_DESKTOP, nullptr, 0, path);
    GetOpenFileNameA(nullptr);
    CoInitialize(nullptr);
    RegCloseKey(nullptr);
    GetStockObject(0);
    MessageBeep(0);
  }
  return 0;
}
