// The hash data readers over arbitrary text (a file list's [Hashes] section, Sign.ini). Never read
// outside the text; every entry read is written back by FormatHashLine to a line that reads the same;
// the signed part of Sign.ini never extends past the text.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "web/set_hashes.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // An exact-size heap copy: ASan catches any read past the end of the text.
  std::vector<char> text(data, data + size);
  std::vector<HashEntry> entries;
  HashData result = ReadHashSection(text.data(), text.size(), &entries);
  if (result != HashData::kPresent && !entries.empty()) __builtin_trap();
  for (const HashEntry& e : entries) {
    if (FindHashEntry(entries, e.name.c_str()) != &e && e.name.find('\0') == std::string::npos) __builtin_trap();
    std::string again = "[Hashes]\r\n" + FormatHashLine(e.name, e.size, e.sha256) + "\r\n";
    std::vector<HashEntry> back;
    if (ReadHashSection(again.data(), again.size(), &back) != HashData::kPresent || back.size() != 1) __builtin_trap();
    if (back[0].name != e.name || back[0].size != e.size || memcmp(back[0].sha256, e.sha256, kSha256Size) != 0) {
      __builtin_trap();
    }
  }
  size_t signedSize = size + 1;
  unsigned char signature[kSignatureSize];
  ReadSignature(text.data(), text.size(), &signedSize, signature);
  if (signedSize > size) __builtin_trap();
  return 0;
}
