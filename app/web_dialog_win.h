// The web installation dialog (template WEBLOADBOX): progress display and the worker's host.
#pragma once
#include <windows.h>

INT_PTR CALLBACK WebLoadDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

void StartWorker(LPTHREAD_START_ROUTINE procedure);

void PlayAnimation(int frameId, int clipId);

// 0 when the root, program and staging folders exist afterwards, 1 otherwise.
int CreateStagingFolders();
