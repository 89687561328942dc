// FindIniValue over arbitrary text: section NUL key NUL text. Never reads or writes outside its buffers,
// always terminates the value, and "*" whenever it answers false.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "fuzz_common.h"
#include "web/ini_lookup.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string section = TakeField(data, size);
  std::string key = TakeField(data, size);
  // The text is not terminated: an exact-size heap copy lets ASan catch any read past its end.
  std::vector<char> text(data, data + size);
  for (int valueSize : {256, 2, 17}) {
    std::vector<char> value(valueSize, 'Q');
    bool found = FindIniValue(section.c_str(), key.c_str(), value.data(), valueSize, text.data(),
                              static_cast<int>(text.size()));
    if (memchr(value.data(), 0, value.size()) == nullptr) __builtin_trap();
    if (!found && strcmp(value.data(), "*") != 0) __builtin_trap();
  }
  return 0;
}
