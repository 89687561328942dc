// The web installation dialog (template WEBLOADBOX): progress display and the worker's host.
#pragma once
#include <windows.h>

// Dialog procedure; run modally with DialogBoxParamA(instance, "WebLoadBox", owner, WebLoadDialogProc, 0).
// Ends with 1 after a successful installation, 0 after a failure or a cancel.
INT_PTR CALLBACK WebLoadDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// Starts the one worker thread (suspended, below-normal priority, then resumed) with `parameter`. On
// success the dialog counts the worker as running from this moment; if the thread cannot be created
// nothing else happens.
void StartWorker(LPTHREAD_START_ROUTINE procedure, LPVOID parameter = nullptr);
