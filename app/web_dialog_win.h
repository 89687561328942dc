// The web installation dialog (template WEBLOADBOX): progress display and the worker's host.
#pragma once
#include <windows.h>

// Dialog procedure; run modally with DialogBoxParamA(instance, "WebLoadBox", owner, WebLoadDialogProc, 0).
// Ends with 1 after a successful installation, 0 after a failure or a cancel.
INT_PTR CALLBACK WebLoadDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// Starts the one worker thread (suspended, below-normal priority, then resumed). On success the dialog
// counts the worker as running from this moment; if the thread cannot be created nothing else happens.
void StartWorker(LPTHREAD_START_ROUTINE procedure);

// Creates the animation control (id 201) over the dialog's control frameId and plays clip clipId
// endlessly. Safe to call from the worker thread: the control is always created on the dialog's thread.
void PlayAnimation(int frameId, int clipId);

// Stops the running clip and plays clipId on the animation control instead (from any thread).
void ChangeAnimation(int clipId);

// Stops the animation and hides its control, uncovering the frame (from any thread).
void StopAnimation();

// 0 when the root, program and staging folders exist afterwards, 1 otherwise.
int CreateStagingFolders();
