// The worker thread's start, as the silent run makes it: suspended until the caller resumes it, and at
// below-normal priority from its first instruction.
#include <windows.h>

#include <gtest/gtest.h>

#include "app/worker_win.h"
#include "worker_start.h"

namespace {

using quarn_test::g_seenPriority;
using quarn_test::RecordStart;

// The silent run starts its worker through CreateWorkerThread too: suspended (nothing runs before the
// caller resumes it) and already at below-normal priority when its first instruction runs.
TEST(CreateWorkerThread, SuspendedAtBelowNormalPriority) {
  g_seenPriority = -100;
  HANDLE thread = CreateWorkerThread(RecordStart, nullptr);
  ASSERT_NE(thread, nullptr);
  EXPECT_EQ(GetThreadPriority(thread), THREAD_PRIORITY_BELOW_NORMAL);
  // Suspended once: suspending it again reports a count of 1 (0 for a thread already running).
  EXPECT_EQ(SuspendThread(thread), 1u);
  EXPECT_EQ(ResumeThread(thread), 2u);
  EXPECT_EQ(g_seenPriority, -100);
  EXPECT_EQ(ResumeThread(thread), 1u);
  EXPECT_EQ(WaitForSingleObject(thread, 15000), WAIT_OBJECT_0);
  EXPECT_EQ(g_seenPriority, THREAD_PRIORITY_BELOW_NORMAL);
  CloseHandle(thread);
}

}  // namespace
