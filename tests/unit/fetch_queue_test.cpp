// How a disc's files are handed out to the transfers that run at once: how many run, which go together
// and which alone, the list's order, the first failure ending the batch, Cancel, and every file handed
// out exactly once from several threads.
#include "web/fetch_queue.h"

#include <gtest/gtest.h>

#include <atomic>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

namespace {

struct TransfersCase {
  const char* name;
  size_t files;
  bool hashed;
  int limit;
  int transfers;
};

void PrintTo(const TransfersCase& c, std::ostream* os) { *os << c.name; }

class Transfers : public ::testing::TestWithParam<TransfersCase> {};

TEST_P(Transfers, OnlyAListWithHashDataIsFetchedSeveralAtOnce) {
  const TransfersCase& c = GetParam();
  EXPECT_EQ(TransfersFor(c.files, c.hashed, c.limit), c.transfers);
}

INSTANTIATE_TEST_SUITE_P(
    Table, Transfers,
    ::testing::Values(TransfersCase{"unhashed_many", 2000, false, 4, 1},  // an old set: strictly in turn
                      TransfersCase{"unhashed_limit_one", 10, false, 1, 1},
                      TransfersCase{"hashed_many", 2000, true, 4, 4},
                      TransfersCase{"hashed_fewer_files_than_limit", 3, true, 4, 3},
                      TransfersCase{"hashed_one_file", 1, true, 4, 1},
                      TransfersCase{"hashed_no_file", 0, true, 4, 1},
                      TransfersCase{"hashed_limit_one", 50, true, 1, 1},
                      TransfersCase{"hashed_limit_zero", 50, true, 0, 1},
                      TransfersCase{"hashed_other_limit", 50, true, 8, 8}),
    [](const ::testing::TestParamInfo<TransfersCase>& i) { return std::string(i.param.name); });

TEST(Transfers, TheBuildSettingIsWithinItsBounds) {
  EXPECT_GE(kParallelTransfers, 1);
  EXPECT_LE(kParallelTransfers, 16);
  EXPECT_EQ(TransfersFor(1000, true), kParallelTransfers);
  EXPECT_EQ(TransfersFor(1000, false), 1);
}

struct PlanCase {
  const char* name;
  std::vector<uint64_t> sizes;
  bool hashed;
  std::vector<FetchBatch> batches;
};

void PrintTo(const PlanCase& c, std::ostream* os) { *os << c.name; }

class Plan : public ::testing::TestWithParam<PlanCase> {};

TEST_P(Plan, SmallFilesTogetherLargeFilesAloneInTheListsOrder) {
  const PlanCase& c = GetParam();
  const std::vector<FetchBatch> got = PlanBatches(c.sizes, c.hashed, 4, 1000);
  ASSERT_EQ(got.size(), c.batches.size());
  for (size_t i = 0; i < got.size(); ++i) {
    SCOPED_TRACE("batch " + std::to_string(i));
    EXPECT_EQ(got[i].begin, c.batches[i].begin);
    EXPECT_EQ(got[i].end, c.batches[i].end);
    EXPECT_EQ(got[i].transfers, c.batches[i].transfers);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Table, Plan,
    ::testing::Values(
        PlanCase{"no_file", {}, true, {}},
        PlanCase{"small_files_together", {10, 20, 30, 40, 50, 60}, true, {{0, 6, 4}}},
        PlanCase{"unhashed_one_after_the_other", {10, 5000, 20, 30}, false, {{0, 4, 1}}},
        PlanCase{"large_files_alone", {5000, 1000, 999999}, true, {{0, 1, 1}, {1, 2, 1}, {2, 3, 1}}},
        PlanCase{"large_file_between_small_runs", {1, 2, 3, 4000, 5, 6}, true, {{0, 3, 3}, {3, 4, 1}, {4, 6, 2}}},
        PlanCase{"just_below_large", {999, 999}, true, {{0, 2, 2}}},
        PlanCase{"one_small_after_large", {1000, 7}, true, {{0, 1, 1}, {1, 2, 1}}}),
    [](const ::testing::TestParamInfo<PlanCase>& i) { return std::string(i.param.name); });

TEST(Plan, TheShippedLargeBoundIsSomeChunks) {
  // The large set's 50 MB files go alone; the small set's 10 KB files together.
  const std::vector<FetchBatch> got = PlanBatches({10240, 10240, 52428800, 10240}, true);
  ASSERT_EQ(got.size(), 3u);
  EXPECT_EQ(got[0].transfers, kParallelTransfers >= 2 ? 2 : 1);
  EXPECT_EQ(got[1].transfers, 1);
  EXPECT_EQ(got[2].transfers, 1);
}

// One step of a batch, played on one queue: take (expecting an index, or -1: nothing more), finish a
// file, or stop.
struct Step {
  enum Kind { kTake, kFinish, kStop } kind;
  int index;  // kTake: the index expected (-1: Take answers false); kFinish: the file that ended
  FetchEnd end;
};

Step Take(int expected) { return Step{Step::kTake, expected, FetchEnd::kStaged}; }
Step Done(int index, FetchEnd end = FetchEnd::kStaged) { return Step{Step::kFinish, index, end}; }
Step Stop() { return Step{Step::kStop, 0, FetchEnd::kStaged}; }

struct QueueCase {
  const char* name;
  size_t count;
  std::vector<Step> steps;
  bool failed;
  int failedIndex;  // when failed
  FetchEnd failedEnd;
  bool complete;
  size_t started;
  size_t staged;
  size_t mostInFlight;
};

void PrintTo(const QueueCase& c, std::ostream* os) { *os << c.name; }

class Queue : public ::testing::TestWithParam<QueueCase> {};

TEST_P(Queue, HandsOutInOrderUntilTheFirstFailureOrStop) {
  const QueueCase& c = GetParam();
  FetchQueue queue(c.count);
  for (size_t i = 0; i < c.steps.size(); ++i) {
    const Step& s = c.steps[i];
    SCOPED_TRACE("step " + std::to_string(i));
    if (s.kind == Step::kTake) {
      size_t index = 12345;
      const bool took = queue.Take(&index);
      EXPECT_EQ(took, s.index >= 0);
      if (took && s.index >= 0) {
        EXPECT_EQ(index, static_cast<size_t>(s.index));
      }
    } else if (s.kind == Step::kFinish) {
      queue.Finish(static_cast<size_t>(s.index), s.end);
    } else {
      queue.Stop();
    }
  }
  EXPECT_EQ(queue.Failed(), c.failed);
  if (c.failed) {
    EXPECT_EQ(queue.FailedIndex(), static_cast<size_t>(c.failedIndex));
    EXPECT_EQ(queue.FailedEnd(), c.failedEnd);
  }
  EXPECT_EQ(queue.Complete(), c.complete);
  EXPECT_EQ(queue.Started(), c.started);
  EXPECT_EQ(queue.Staged(), c.staged);
  EXPECT_EQ(queue.MostInFlight(), c.mostInFlight);
}

const FetchEnd kS = FetchEnd::kStaged;
const FetchEnd kF = FetchEnd::kFailed;
const FetchEnd kD = FetchEnd::kDamaged;

INSTANTIATE_TEST_SUITE_P(
    Table, Queue,
    ::testing::Values(
        QueueCase{"one_at_a_time_in_order",
                  3,
                  {Take(0), Done(0), Take(1), Done(1), Take(2), Done(2), Take(-1)},
                  false, 0, kS, true, 3, 3, 1},
        QueueCase{"four_in_flight_then_the_rest",
                  6,
                  {Take(0), Take(1), Take(2), Take(3), Done(2), Take(4), Done(0), Take(5), Take(-1), Done(1),
                   Done(3), Done(4), Done(5)},
                  false, 0, kS, true, 6, 6, 4},
        QueueCase{"empty_disc", 0, {Take(-1)}, false, 0, kS, true, 0, 0, 0},
        // The first failure ends the batch: nothing more is handed out, and a later failure of a file
        // still in flight does not replace it.
        QueueCase{"first_failure_stops_new_files",
                  10,
                  {Take(0), Take(1), Take(2), Done(1, kF), Take(-1), Done(2, kD), Done(0), Take(-1)},
                  true, 1, kF, false, 3, 1, 3},
        QueueCase{"damaged_file_is_the_failure",
                  4,
                  {Take(0), Take(1), Done(1, kD), Done(0, kF), Take(-1)},
                  true, 1, kD, false, 2, 0, 2},
        QueueCase{"failure_of_the_last_file",
                  2,
                  {Take(0), Done(0), Take(1), Done(1, kF), Take(-1)},
                  true, 1, kF, false, 2, 1, 1},
        // Cancel: the files in flight end as they may; none is handed out after it.
        QueueCase{"stop_hands_out_nothing_more",
                  5,
                  {Take(0), Take(1), Stop(), Take(-1), Done(0), Done(1), Take(-1)},
                  false, 0, kS, false, 2, 2, 2},
        QueueCase{"stop_after_every_file_staged_is_complete",
                  2,
                  {Take(0), Take(1), Done(0), Done(1), Stop(), Take(-1)},
                  false, 0, kS, true, 2, 2, 2}),
    [](const ::testing::TestParamInfo<QueueCase>& i) { return std::string(i.param.name); });

// Several transfers at once: every file is handed out exactly once, and never more at once than threads.
TEST(QueueThreads, EveryFileIsHandedOutOnceAcrossThreads) {
  constexpr size_t kFiles = 20000;
  constexpr int kThreads = 4;
  FetchQueue queue(kFiles);
  std::vector<std::atomic<int>> taken(kFiles);
  for (auto& t : taken) t.store(0);
  std::vector<std::thread> threads;
  for (int i = 0; i < kThreads; ++i) {
    threads.emplace_back([&] {
      size_t index = 0;
      while (queue.Take(&index)) {
        taken[index].fetch_add(1);
        queue.Finish(index, FetchEnd::kStaged);
      }
    });
  }
  for (std::thread& t : threads) t.join();
  size_t once = 0;
  for (auto& t : taken) once += t.load() == 1 ? 1 : 0;
  EXPECT_EQ(once, kFiles);
  EXPECT_TRUE(queue.Complete());
  EXPECT_EQ(queue.Staged(), kFiles);
  EXPECT_LE(queue.MostInFlight(), static_cast<size_t>(kThreads));
}

// A failure on one thread: the others take nothing after it, and the failure named is the first one.
TEST(QueueThreads, NoFileIsHandedOutAfterTheFirstFailure) {
  constexpr size_t kFiles = 5000;
  constexpr size_t kFailing = 1234;
  FetchQueue queue(kFiles);
  std::atomic<bool> failedYet{false};
  std::atomic<int> takenAfterFailure{0};
  std::vector<std::thread> threads;
  for (int i = 0; i < 4; ++i) {
    threads.emplace_back([&] {
      size_t index = 0;
      while (queue.Take(&index)) {
        if (failedYet.load()) takenAfterFailure.fetch_add(1);
        if (index == kFailing) {
          failedYet.store(true);
          queue.Finish(index, FetchEnd::kFailed);
        } else {
          queue.Finish(index, FetchEnd::kStaged);
        }
      }
    });
  }
  for (std::thread& t : threads) t.join();
  EXPECT_TRUE(queue.Failed());
  EXPECT_EQ(queue.FailedIndex(), kFailing);
  EXPECT_EQ(takenAfterFailure.load(), 0);
  EXPECT_LE(queue.Started(), kFailing + 4);  // at most the files already out when it failed
  EXPECT_FALSE(queue.Complete());
}

}  // namespace
