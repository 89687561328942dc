// Placeholder bodies so that the program links; replaced by the real implementation.
#include "app/web_dialog_win.h"

INT_PTR CALLBACK WebLoadDialogProc(HWND, UINT, WPARAM, LPARAM) { return FALSE; }
void StartWorker(LPTHREAD_START_ROUTINE) {}
void PlayAnimation(int, int) {}
int CreateStagingFolders() { return 1; }
