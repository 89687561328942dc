// File-line parsing over arbitrary text: every output is terminated and bounded, and a line reported as
// parsed never lets its target climb out of its base folder.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "fuzz_common.h"
#include "layout/description.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string line = TakeField(data, size);
  FileEntry e;
  memset(&e, 'Q', sizeof e);
  FileLineStatus st = ParseFileLine(line.c_str(), &e);
  for (const char* f : {e.source, e.targetPath, e.targetCode})
    if (memchr(f, 0, kTextSize) == nullptr) __builtin_trap();
  if (st == FileLineStatus::kOk || st == FileLineStatus::kBadModifier) {
    if (ContainsParentSegment(e.targetPath) || ContainsParentSegment(e.source)) __builtin_trap();
    if (e.source[0] == '\0') __builtin_trap();
  }
  // A number in any description value never overflows (UBSan watches the conversion).
  (void)ParseDescriptionNumber(line.c_str());
  return 0;
}
