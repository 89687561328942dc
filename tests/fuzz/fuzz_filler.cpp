// Filler decoding: any split of a stored file into chunks gives the same content as one piece: the bytes
// at the odd offsets of the whole file.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "web/filler.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  // First byte: chunking pattern; the rest: the stored file.
  uint8_t pattern = data[0];
  std::vector<char> stored(data + 1, data + size);
  std::vector<char> expect;
  for (size_t i = 1; i < stored.size(); i += 2) expect.push_back(stored[i]);

  FillerDecoder dec;
  std::vector<char> got;
  size_t pos = 0, step = 0;
  while (pos < stored.size()) {
    size_t len = 1 + ((pattern >> (step++ % 8)) & 7);
    if (len > stored.size() - pos) len = stored.size() - pos;
    std::vector<char> chunk(stored.begin() + pos, stored.begin() + pos + len);
    size_t kept = dec.Decode(chunk.data(), chunk.size(), chunk.data());  // in place
    if (kept > len) __builtin_trap();
    got.insert(got.end(), chunk.begin(), chunk.begin() + kept);
    pos += len;
  }
  if (got != expect) __builtin_trap();
  return 0;
}
