// The hash data readers over arbitrary text (a file list's [Hashes] section, Sign.ini). Never read
// outside the text; every entry read is written back by FormatHashLine to a line that reads the same;
// the signed part of Sign.ini never extends past the text; a signed identity read is a real date and is
// written back by FormatSetIdentity to a section that reads the same.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "layout/set_hashes.h"

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
  SetIdentity id;
  if (ReadSetIdentity(text.data(), signedSize, &id) == IdentityData::kPresent) {
    int y = 0, m = 0, d = 0;
    DateOfDay(DayNumber(id.expiresYear, id.expiresMonth, id.expiresDay), &y, &m, &d);
    if (y != id.expiresYear || m != id.expiresMonth || d != id.expiresDay) __builtin_trap();
    const std::string again = FormatSetIdentity(id);
    SetIdentity back;
    if (ReadSetIdentity(again.data(), again.size(), &back) != IdentityData::kPresent || back.folder != id.folder ||
        back.cadSystem != id.cadSystem || back.version != id.version || back.sequence != id.sequence ||
        back.expiresYear != id.expiresYear || back.expiresMonth != id.expiresMonth || back.expiresDay != id.expiresDay) {
      __builtin_trap();
    }
  } else if (!id.folder.empty()) {
    __builtin_trap();  // nothing half-read is handed out
  }
  return 0;
}
