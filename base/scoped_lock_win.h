// A critical section held for exactly the life of a scope: entered by the constructor, left by the
// destructor on every way out (early returns included). Not copyable, not movable.
#pragma once
#include <windows.h>

class ScopedLock {
 public:
  explicit ScopedLock(CRITICAL_SECTION& section) : section_(section) { EnterCriticalSection(&section_); }
  ~ScopedLock() { LeaveCriticalSection(&section_); }
  ScopedLock(const ScopedLock&) = delete;
  ScopedLock& operator=(const ScopedLock&) = delete;

 private:
  CRITICAL_SECTION& section_;
};
