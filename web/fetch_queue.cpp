#include "web/fetch_queue.h"

int TransfersFor(size_t files, bool listHashed, int limit) {
  if (!listHashed || limit <= 1 || files <= 1) return 1;
  return files < static_cast<size_t>(limit) ? static_cast<int>(files) : limit;
}

std::vector<FetchBatch> PlanBatches(const std::vector<uint64_t>& sizes, bool listHashed, int limit, uint64_t large) {
  std::vector<FetchBatch> batches;
  if (sizes.empty()) return batches;
  if (!listHashed) {
    batches.push_back(FetchBatch{0, sizes.size(), 1});
    return batches;
  }
  size_t begin = 0;
  for (size_t i = 0; i <= sizes.size(); ++i) {
    const bool isLarge = i < sizes.size() && sizes[i] >= large;
    if (i == sizes.size() || isLarge) {
      if (i > begin) batches.push_back(FetchBatch{begin, i, TransfersFor(i - begin, true, limit)});
      if (isLarge) batches.push_back(FetchBatch{i, i + 1, 1});
      begin = i + 1;
    }
  }
  return batches;
}

bool FetchQueue::Take(size_t* index) {
  std::lock_guard<std::mutex> held(lock_);
  if (stopped_ || failed_ || next_ >= count_) return false;
  *index = next_++;
  ++inFlight_;
  if (inFlight_ > mostInFlight_) mostInFlight_ = inFlight_;
  return true;
}

void FetchQueue::Finish(size_t index, FetchEnd end) {
  std::lock_guard<std::mutex> held(lock_);
  if (inFlight_ > 0) --inFlight_;
  if (end == FetchEnd::kStaged) {
    ++staged_;
  } else if (!failed_) {
    failed_ = true;
    failedIndex_ = index;
    failedEnd_ = end;
  }
}

void FetchQueue::Stop() {
  std::lock_guard<std::mutex> held(lock_);
  stopped_ = true;
}

bool FetchQueue::Failed() const {
  std::lock_guard<std::mutex> held(lock_);
  return failed_;
}

size_t FetchQueue::FailedIndex() const {
  std::lock_guard<std::mutex> held(lock_);
  return failedIndex_;
}

FetchEnd FetchQueue::FailedEnd() const {
  std::lock_guard<std::mutex> held(lock_);
  return failedEnd_;
}

size_t FetchQueue::Started() const {
  std::lock_guard<std::mutex> held(lock_);
  return next_;
}

size_t FetchQueue::Staged() const {
  std::lock_guard<std::mutex> held(lock_);
  return staged_;
}

size_t FetchQueue::MostInFlight() const {
  std::lock_guard<std::mutex> held(lock_);
  return mostInFlight_;
}

bool FetchQueue::Complete() const {
  std::lock_guard<std::mutex> held(lock_);
  return !failed_ && staged_ == count_;
}
