// Placeholder bodies so that the program links; replaced by the real implementation.
#include "web/set_download_win.h"

int ReadRemoteDescription() { return 1; }
void DownloadInstallationSet() {}
int DownloadFile(const char*, const char*, int) { return 1; }
void AdvanceProgress(DWORD) {}
