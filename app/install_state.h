// The shared installation state: one structure for the whole process.
//
// Threads: the main thread writes the user's choices while the options dialog is up; the worker thread
// starts only after Install, and from then on the options dialog is covered by the modal web installation
// dialog, so those fields no longer change. The two flags both threads write or read while the worker runs
// (cancelRequested, workerRunning) are lock-free 32-bit atomics. No lock guards anything else.
#pragma once
#include <windows.h>
#include <wininet.h>

#include <atomic>
#include <cstdint>

#include "install/description.h"
#include "web/remote_description.h"

struct InternetSession {
  HINTERNET session;     // InternetOpenA; every request is made on it by URL
  HINTERNET connection;  // InternetConnectA to the current host; held, never used for requests
};

struct InstallState {
  HINSTANCE instance;      // every resource load
  HWND mainWindow;         // the backdrop; destroying it ends the program
  char caption[29];        // string 29: main window title, message-box caption
  char windowsFolder[80];  // %windir%, no trailing backslash; empty when unset or too long

  int32_t targetDrive;          // 1 = A ... 26 = Z; its letter is 64 + the number
  char rootName[kTextSize];     // root folder name on the target drive
  int32_t partSelected[kPartCount];      // parts to install (part order of description.h)
  int32_t downloadSelected[kPartCount];  // parts to fetch; Setup and Systems always set
  int32_t startAfterInstall;             // start the installed system at the end
  DiscEntry discTable[kDiscCount];       // labels and part presence of the staged description

  int32_t httpsMode;  // 1 while the HTTPS host is used
  InternetSession internet;
  RemoteDescription remote;  // part sizes per disc from the server; download progress counters

  char programFolder[kTextSize];    // "X:\" + rootName + "\QuarnWin32\"
  char stagingFolder[kTextSize];    // programFolder + "Install\"
  char descriptionPath[kTextSize];  // stagingFolder + "Disc_01\Install.ini"

  uint32_t copyBytesTotal;  // copy display, seeded from remote.overallTotal
  uint32_t copyBytesDone;   // copy display, seeded from remote.bytesDone

  std::atomic<int32_t> cancelRequested;  // set by Cancel (or a failed description read); never cleared
  std::atomic<int32_t> workerRunning;    // 1 while the worker thread runs

  HWND optionsDialog;  // the options dialog
  HWND webDialog;      // the web installation dialog, host of all progress displays
  HWND progressBar;    // its progress bar (control 3206), range 0..1000
};

extern InstallState g_state;

// Puts every field back to its start value (zero, startAfterInstall = 1). Tests call it between cases.
void ResetInstallState();
