// A thread procedure that records how a worker thread begins: the priority its first instruction runs at
// and whether the installation already counted a worker as running then (-100 and -1 until a thread has
// run it). Each test file that includes this has a record of its own (an unnamed namespace), so that a
// thread started by one file's test never answers the wait of another's.
#pragma once
#include <windows.h>

#include <atomic>

#include "state/install_state_win.h"

namespace quarn_test {
namespace {

std::atomic<int> g_seenPriority{-100};
std::atomic<int> g_seenRunning{-1};

DWORD WINAPI RecordStart(LPVOID) {
  g_seenPriority = GetThreadPriority(GetCurrentThread());
  g_seenRunning = g_state.flags.workerRunning.load();
  return 0;
}

}  // namespace
}  // namespace quarn_test
