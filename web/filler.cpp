#include "web/filler.h"

size_t FillerDecoder::Decode(const char* in, size_t n, char* out) {
  size_t kept = 0;
  size_t i = nextIsContent_ ? 0 : 1;
  for (; i < n; i += 2) out[kept++] = in[i];  // kept <= i, so in-place decoding never overtakes
  // An odd chunk length flips the parity of the next chunk's first byte.
  if (n % 2 != 0) nextIsContent_ = !nextIsContent_;
  return kept;
}
