#include "install/description_win.h"

#include <cstring>
#include <string>

#include "layout/description.h"
#include "state/install_state_win.h"

bool ReadProfileValue(const char* iniPath, const char* section, const char* key, char* out, size_t size) {
  if (out == nullptr || size == 0) return false;
  // The description's values are defined as 256-byte reads: never ask the reader for more, so that a
  // longer value is cut the same way for every caller.
  const DWORD n = static_cast<DWORD>(size < kTextSize ? size : kTextSize);
  out[0] = '\0';
  GetPrivateProfileStringA(section, key, kAbsentValue, out, n, iniPath);
  out[n - 1] = '\0';
  return !IsAbsentValue(out);
}

bool ReadDescriptionValue(const char* section, const char* key, char* out, size_t size) {
  return ReadProfileValue(g_state.paths.descriptionPath, section, key, out, size);
}

void LoadDiscTable() {
  // All fifteen discs are visited: a missing section does not end the table.
  for (int disc = 1; disc <= kDiscCount; ++disc) {
    DiscEntry& entry = g_state.choices.discTable[disc - 1];
    entry.label[0] = '\0';
    const std::string section = DiscSectionName(disc);
    char value[kTextSize];
    // A disc without a Name is not part of the set; its part keys are not looked at.
    if (!ReadDescriptionValue(section.c_str(), "Name", value, sizeof value)) continue;
    memcpy(entry.label, value, sizeof entry.label);
    for (int part = 0; part < kPartCount; ++part) {
      if (ReadDescriptionValue(section.c_str(), kPartNames[part], value, sizeof value)) entry.present[part] = 1;
    }
  }
}
