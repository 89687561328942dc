// The shared installation state, portable part: the process's texts, the user's choices, the paths of
// one run, the download and copy progress and the two flags both threads use. The Win32 handles and the
// one global object are in install_state_win.h.
//
// Every field starts at its value for a fresh process (member initialisers), so that a whole reset is
// one assignment and nothing can leak from one test case into the next.
//
// Threads: the main thread writes the choices while the options dialog is up; the worker thread starts
// only after Install, and from then on the options dialog is covered by the modal web installation
// dialog, so the choices no longer change. The two flags both threads write or read while the worker
// runs are lock-free 32-bit atomics. No lock guards anything else.
#pragma once
#include <atomic>
#include <cstdint>

#include "base/sizes.h"

// One disc of the staged set, as the copy engine sees it.
struct DiscEntry {
  char label[kTextSize] = {};         // empty: the disc is not part of the set
  int32_t present[kPartCount] = {};  // 1 when the disc holds the part
};

// What the download learns from the server's Install.ini: per disc and part, presence and byte size.
struct DiscSizeRecord {
  int32_t present[kPartCount] = {};
  int32_t size[kPartCount] = {};  // bytes of the part on this disc
  // This run's download staged every file of the part and checked each against the list's hash data.
  int32_t checked[kPartCount] = {};
};

struct RemoteDescription {
  DiscSizeRecord discs[kDiscCount] = {};
  int32_t overallTotal = 0;  // denominator of the progress display: every selected byte counted twice
  int32_t bytesDone = 0;     // bytes counted so far
};

// A 32-bit flag shared between threads: a lock-free atomic whose copies copy the value, so that the
// structures holding flags stay assignable (a reset is one assignment).
struct SharedFlag : std::atomic<int32_t> {
  SharedFlag() : std::atomic<int32_t>(0) {}
  SharedFlag(const SharedFlag& other) : std::atomic<int32_t>(other.load()) {}
  SharedFlag& operator=(const SharedFlag& other) {
    store(other.load());
    return *this;
  }
  using std::atomic<int32_t>::operator=;
};

// Set once at start-up by the main thread.
struct ProcessTexts {
  char caption[29] = {};        // string 29: main window title, message-box caption
  char windowsFolder[80] = {};  // %windir%, no trailing backslash; empty when unset or too long
};

// Written by the options dialog on the main thread; read by the worker.
struct UserChoices {
  int32_t targetDrive = 0;                 // 1 = A ... 26 = Z; its letter is 64 + the number
  char rootName[kTextSize] = {};           // root folder name on the target drive (the download sets it)
  int32_t partSelected[kPartCount] = {};   // parts to install (part order of layout/description.h)
  int32_t startAfterInstall = 1;           // start the installed system at the end
  DiscEntry discTable[kDiscCount] = {};    // part presence shown by the options dialog; LoadDiscTable
                                           // completes it from the staged description
};

// The folders of one run, filled by the worker (FillRunFolders, layout/install_layout.h) once the root
// name is known; every step takes its folders from here and none builds them from the drive again.
struct RunPaths {
  char rootFolder[kTextSize] = {};       // "X:\" + rootName (no trailing backslash)
  char programFolder[kTextSize] = {};    // rootFolder + "\QuarnWin32\"
  char stagingFolder[kTextSize] = {};    // programFolder + "Install\"
  char descriptionPath[kTextSize] = {};  // verifiedFolder + "Disc_01\Install.ini"
  // The run's private folder (base/private_folder_win.h), with a trailing backslash: the download keeps
  // the verified bytes of Install.ini and of every file list there ("Disc_NN\..." as in the staging
  // folder), and every later step reads them from there, never from the staging folder.
  char verifiedFolder[kTextSize] = {};
};

// The download's state on the worker thread.
struct DownloadState {
  int32_t httpsMode = 0;                     // 1 while the HTTPS host is used
  int32_t downloadSelected[kPartCount] = {};  // parts to fetch; Setup and Systems always set
  RemoteDescription remote;                   // part sizes per disc; download progress counters
};

// The copy step's display counters, seeded from the download's.
struct CopyCounters {
  uint32_t copyBytesTotal = 0;
  uint32_t copyBytesDone = 0;
};

// Shared by the main thread and the worker while it runs.
struct WorkerFlags {
  SharedFlag cancelRequested;  // set by Cancel (or a failed description read); never cleared
  SharedFlag workerRunning;    // 1 while the worker thread runs
};
