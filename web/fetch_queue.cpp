#include "web/fetch_queue.h"

int TransfersFor(size_t files, bool listHashed, int limit) {
  if (!listHashed || limit <= 1 || files <= 1) return 1;
  return files < static_cast<size_t>(limit) ? static_cast<int>(files) : limit;
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
