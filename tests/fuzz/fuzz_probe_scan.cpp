// The probe's scan of Update.ini over arbitrary bytes; a set cancel flag always wins.
#include <cstddef>
#include <cstdint>
#include <atomic>
#include <vector>

#include "web/probe.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<char> text(data, data + size);
  std::atomic<int32_t> none{0}, cancelled{1};
  ProbeVerdict v = ScanProbeText(text.data(), static_cast<int>(text.size()), none);
  if (v == ProbeVerdict::kCancelled) __builtin_trap();
  ProbeVerdict c = ScanProbeText(text.data(), static_cast<int>(text.size()), cancelled);
  if (c == ProbeVerdict::kAccepted) __builtin_trap();
  return 0;
}
