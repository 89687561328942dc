// The worker thread that runs the whole installation in order.
#pragma once
#include <windows.h>

// Thread procedure started by the web installation dialog. It opens the session (HTTPS, then HTTP),
// reads the description, stages the set, closes the session and installs from the staging folder,
// showing each phase in the dialog. It ends in one of three ways: success (posts command 402 to the
// dialog), cancelled, or no connection (the dialog stays open with its button turned into "Kilépés").
// The parameter is the dialog's handle, taken once as the run's display; nullptr (a silent run) shows
// nothing. The exit code is 0.
DWORD WINAPI RunInstallation(LPVOID dialog);

// Creates the worker thread suspended and at below-normal priority, so that the window's thread (the
// dialog, the Program Manager conversation) stays responsive while the download and the copy run; the
// caller resumes it. Every run's worker, the dialog's and the silent one, starts through here. nullptr
// when no thread could be made.
HANDLE CreateWorkerThread(LPTHREAD_START_ROUTINE procedure, LPVOID parameter);
