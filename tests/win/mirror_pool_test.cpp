// The run's mirror pool shared by transfers running at once: every fault is counted once, each mirror is
// left out exactly once (by the transfer whose fault was its second), and the sources handed out never
// name a mirror left out.
#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <string>
#include <vector>

#include "web/mirror_pool_win.h"

namespace {

std::vector<MirrorUrl> ThreeMirrors() {
  std::vector<MirrorUrl> mirrors;
  for (const char* url : {"http://127.0.0.2:1/U", "http://127.0.0.3:1/U", "http://127.0.0.4:1/U"}) {
    mirrors.push_back(MirrorUrl{url, false, ""});
  }
  return mirrors;
}

struct Worker {
  MirrorPool* pool;
  HANDLE go;                       // every thread starts at once
  std::atomic<int>* leftOutReports;  // ReportFault answers true
  std::atomic<int>* badSources;      // a source list naming a mirror that was left out before it was asked
  int index;
};

DWORD WINAPI Hammer(void* p) {
  Worker& w = *static_cast<Worker*>(p);
  WaitForSingleObject(w.go, INFINITE);
  for (int i = 0; i < 2000; ++i) {
    const std::string name = "file" + std::to_string(w.index * 2000 + i);
    const std::vector<int> sources = w.pool->SourcesFor(name.c_str(), true);
    if (sources.empty() || sources.back() != kOriginSource) ++*w.badSources;
    if (w.pool->ReportFault(i % 3)) ++*w.leftOutReports;
  }
  return 0;
}

TEST(MirrorPool, FaultsFromManyThreadsLeaveEachMirrorOutOnce) {
  MirrorPool pool;
  pool.Use(ThreeMirrors());
  ASSERT_EQ(pool.Count(), 3u);
  HANDLE go = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  ASSERT_NE(go, nullptr);
  std::atomic<int> leftOut{0};
  std::atomic<int> bad{0};
  std::vector<Worker> workers(4);
  std::vector<HANDLE> threads;
  for (int t = 0; t < 4; ++t) {
    workers[t] = Worker{&pool, go, &leftOut, &bad, t};
    HANDLE h = CreateThread(nullptr, 0, Hammer, &workers[t], 0, nullptr);
    ASSERT_NE(h, nullptr);
    threads.push_back(h);
  }
  SetEvent(go);
  ASSERT_EQ(WaitForMultipleObjects(static_cast<DWORD>(threads.size()), threads.data(), TRUE, 60000), WAIT_OBJECT_0);
  for (HANDLE h : threads) CloseHandle(h);
  CloseHandle(go);
  EXPECT_EQ(leftOut.load(), 3) << "each mirror is left out by exactly one fault";
  EXPECT_EQ(bad.load(), 0);
  for (int m = 0; m < 3; ++m) EXPECT_TRUE(pool.LeftOut(m)) << m;
  EXPECT_EQ(pool.SourcesFor("any", true), std::vector<int>{kOriginSource});
}

TEST(MirrorPool, NewListForgetsFaultsAndUnhashedFilesStayAtTheOrigin) {
  MirrorPool pool;
  EXPECT_EQ(pool.SourcesFor("a", true), std::vector<int>{kOriginSource}) << "no list: the origin only";
  pool.Use(ThreeMirrors());
  EXPECT_FALSE(pool.ReportFault(1));
  EXPECT_TRUE(pool.ReportFault(1));
  EXPECT_EQ(pool.SourcesFor("a", true).size(), 3u);
  EXPECT_EQ(pool.SourcesFor("a", false), std::vector<int>{kOriginSource});
  EXPECT_EQ(pool.Url(2), "http://127.0.0.4:1/U");
  EXPECT_EQ(pool.Url(3), "");
  EXPECT_EQ(pool.Url(kOriginSource), "");
  pool.Use(ThreeMirrors());
  EXPECT_FALSE(pool.LeftOut(1));
  EXPECT_EQ(pool.SourcesFor("a", true).size(), 4u);
  pool.Use({});
  EXPECT_EQ(pool.Count(), 0u);
}

}  // namespace
