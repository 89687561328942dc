// Decoding of files stored with filler bytes: each content byte is preceded by one filler byte, so the
// content lies at the odd offsets of the stored file. The stored file arrives in chunks of any length;
// the decoder counts offsets over the whole file, not per chunk.
#pragma once
#include <cstddef>

class FillerDecoder {
 public:
  // Keeps the content bytes of the next n stored bytes, in order, at the start of out (which may be
  // in itself: decoding in place is allowed). Returns how many bytes were kept.
  size_t Decode(const char* in, size_t n, char* out);

 private:
  bool nextIsContent_ = false;  // the stored file's first byte (offset 0) is a filler
};
