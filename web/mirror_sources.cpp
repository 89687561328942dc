#include "web/mirror_sources.h"

#include <algorithm>

bool FollowMirrorList(SetTrust trust, bool signFileUsed, MirrorData list) {
  // kUnsigned with a used Sign.ini: a build without a key. Its list is followed only for hashed files
  // (SourcesFor), whose hashes came from the origin: a mirror can still not change a byte.
  return trust != SetTrust::kRefused && signFileUsed && list == MirrorData::kPresent;
}

uint64_t MirrorScore(const std::string& mirrorUrl, const char* fileName) {
  uint64_t h = 14695981039346656037ull;
  auto add = [&h](unsigned char c) {
    h ^= c;
    h *= 1099511628211ull;
  };
  for (char c : mirrorUrl) add(static_cast<unsigned char>(c));
  add(0);
  for (const char* p = fileName; *p != '\0'; ++p) add(static_cast<unsigned char>(*p));
  // FNV-1a alone spreads names that differ in their last byte poorly over the high bits: mix (the
  // finaliser of splitmix64).
  h ^= h >> 30;
  h *= 0xbf58476d1ce4e5b9ull;
  h ^= h >> 27;
  h *= 0x94d049bb133111ebull;
  h ^= h >> 31;
  return h;
}

std::vector<int> SpreadOrder(const std::vector<MirrorUrl>& mirrors, const char* fileName) {
  std::vector<std::pair<uint64_t, int>> scored;
  for (size_t i = 0; i < mirrors.size(); ++i) scored.emplace_back(MirrorScore(mirrors[i].url, fileName), static_cast<int>(i));
  std::sort(scored.begin(), scored.end(), [](const std::pair<uint64_t, int>& a, const std::pair<uint64_t, int>& b) {
    return a.first != b.first ? a.first > b.first : a.second < b.second;
  });
  std::vector<int> order;
  for (const auto& s : scored) order.push_back(s.second);
  return order;
}

bool MirrorHealth::RecordFault(int mirror) {
  if (mirror < 0 || static_cast<size_t>(mirror) >= faults_.size()) return false;
  return ++faults_[static_cast<size_t>(mirror)] == kMirrorFaultLimit;
}

bool MirrorHealth::LeftOut(int mirror) const { return Faults(mirror) >= kMirrorFaultLimit; }

int MirrorHealth::Faults(int mirror) const {
  if (mirror < 0 || static_cast<size_t>(mirror) >= faults_.size()) return 0;
  return faults_[static_cast<size_t>(mirror)];
}

std::vector<int> SourcesFor(const std::vector<MirrorUrl>& mirrors, const MirrorHealth& health, const char* fileName,
                            bool hashed) {
  std::vector<int> sources;
  if (hashed) {
    for (int m : SpreadOrder(mirrors, fileName)) {
      if (!health.LeftOut(m)) sources.push_back(m);
    }
  }
  sources.push_back(kOriginSource);
  return sources;
}

const char* TransferFaultName(TransferFault fault) {
  switch (fault) {
    case TransferFault::kNone: return "none";
    case TransferFault::kConnectFailed: return "no connection";
    case TransferFault::kReadFailed: return "read failed";
    case TransferFault::kCutBody: return "cut";
    case TransferFault::kStalled: return "stalled";
    case TransferFault::kHttpStatus: return "error status";
    case TransferFault::kBadAnswer: return "unusable answer";
    case TransferFault::kRangeMismatch: return "range mismatch";
    case TransferFault::kLocal: return "local fault";
    case TransferFault::kHashMismatch: return "hash mismatch";
  }
  return "fault";
}

MirrorFaultStep StepAfterMirrorFault(TransferFault fault) {
  return fault == TransferFault::kLocal ? MirrorFaultStep::kEndFile : MirrorFaultStep::kNextSource;
}
