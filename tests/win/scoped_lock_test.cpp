// The scoped lock holds its critical section exactly while its scope runs, whichever way the scope is left.
#include <windows.h>

#include <gtest/gtest.h>

#include <thread>

#include "base/scoped_lock_win.h"

namespace {

// Whether another thread can enter the section now (a critical section is re-entrant for its owner, so
// only another thread sees it held).
bool FreeForAnotherThread(CRITICAL_SECTION& section) {
  bool entered = false;
  std::thread other([&] {
    entered = TryEnterCriticalSection(&section) != FALSE;
    if (entered) LeaveCriticalSection(&section);
  });
  other.join();
  return entered;
}

// Leaves through an early return while the lock is held.
int HeldUntilReturn(CRITICAL_SECTION& section, bool early, bool* heldInside) {
  ScopedLock held(section);
  *heldInside = !FreeForAnotherThread(section);
  if (early) return 1;
  return 0;
}

TEST(ScopedLock, HeldForItsScopeAndLeftOnEveryWayOut) {
  CRITICAL_SECTION section;
  InitializeCriticalSection(&section);
  ASSERT_TRUE(FreeForAnotherThread(section));
  for (bool early : {false, true}) {
    bool heldInside = false;
    HeldUntilReturn(section, early, &heldInside);
    EXPECT_TRUE(heldInside) << (early ? "early return" : "end of scope");
    EXPECT_TRUE(FreeForAnotherThread(section)) << (early ? "early return" : "end of scope");
  }
  DeleteCriticalSection(&section);
}

}  // namespace
