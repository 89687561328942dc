// Entry point of QuarnWebInstall.exe.
#include <windows.h>

#include "app/unattended_win.h"
#ifdef QUARN_TEST_STALL_BOUND_MS
#include "web/bounded_read_win.h"
#endif

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int) {
#ifdef QUARN_TEST_STALL_BOUND_MS
  // A test build only (never the shipped program): a shorter time without a byte before a transfer is
  // given up.
  SetStallBoundForTest(QUARN_TEST_STALL_BOUND_MS);
#endif
  return RunProgram(instance, commandLine);
}
