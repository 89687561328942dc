#include "web/mirror_pool_win.h"

#include "base/scoped_lock_win.h"

MirrorPool::MirrorPool() { InitializeCriticalSection(&lock_); }

MirrorPool::~MirrorPool() { DeleteCriticalSection(&lock_); }

void MirrorPool::Use(const std::vector<MirrorUrl>& mirrors) {
  ScopedLock hold(lock_);
  mirrors_ = mirrors;
  health_ = MirrorHealth(mirrors.size());
}

size_t MirrorPool::Count() const {
  ScopedLock hold(lock_);
  return mirrors_.size();
}

std::vector<int> MirrorPool::SourcesFor(const char* fileName, bool hashed) const {
  ScopedLock hold(lock_);
  return ::SourcesFor(mirrors_, health_, fileName, hashed);
}

bool MirrorPool::LeftOut(int mirror) const {
  ScopedLock hold(lock_);
  return health_.LeftOut(mirror);
}

std::string MirrorPool::Url(int mirror) const {
  ScopedLock hold(lock_);
  if (mirror < 0 || static_cast<size_t>(mirror) >= mirrors_.size()) return "";
  return mirrors_[static_cast<size_t>(mirror)].url;
}

bool MirrorPool::ReportFault(int mirror) {
  ScopedLock hold(lock_);
  return health_.RecordFault(mirror);
}
