// Placeholder bodies so that the program links; replaced by the real implementation.
#include "install/registry_win.h"

void WriteInstallationRecord() {}
int WriteRegistryString(HKEY, const char*, const char*, const char*) { return 0; }
int ReadRegistryValue(HKEY, const char*, const char*, char*, DWORD) { return 0; }
int DeleteRegistryValue(HKEY, const char*, const char*) { return 0; }
