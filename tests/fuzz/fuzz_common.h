// Small pieces shared by the fuzz targets: splitting one input into several fields.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

// Takes the bytes up to the next NUL (or the end) as one field and advances past it.
inline std::string TakeField(const uint8_t*& data, size_t& size) {
  size_t n = 0;
  while (n < size && data[n] != 0) ++n;
  std::string s(reinterpret_cast<const char*>(data), n);
  size_t used = n < size ? n + 1 : n;
  data += used;
  size -= used;
  return s;
}
