// Differential: the indexed lookup and the plain lookup agree on every text, section and key.
// Input: section NUL key NUL key2 NUL text.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "fuzz_common.h"
#include "web/ini_index.h"
#include "web/ini_lookup.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string section = TakeField(data, size);
  std::string key = TakeField(data, size);
  std::string key2 = TakeField(data, size);
  std::vector<char> text(data, data + size);
  IniIndex index(text.data(), static_cast<int>(text.size()));
  for (const std::string* k : {&key, &key2, &key}) {
    char a[256], b[256];
    bool fa = FindIniValue(section.c_str(), k->c_str(), a, sizeof a, text.data(), static_cast<int>(text.size()));
    bool fb = index.Find(section.c_str(), k->c_str(), b, sizeof b);
    if (fa != fb || strcmp(a, b) != 0) __builtin_trap();
  }
  return 0;
}
