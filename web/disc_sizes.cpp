#include "web/disc_sizes.h"

#include "base/sizes.h"
#include "layout/description.h"
#include "layout/server_layout.h"
#include "web/ini_lookup.h"

namespace {

int32_t ClampToInt32(int64_t v) {
  if (v > INT32_MAX) return INT32_MAX;
  if (v < INT32_MIN) return INT32_MIN;
  return static_cast<int32_t>(v);
}

}  // namespace

void ReadDiscSizes(const char* text, int textSize, const int32_t selected[kPartCount], RemoteDescription* remote) {
  int64_t sum = 0;
  for (int disc = 1; disc <= kDiscCount; ++disc) {
    char section[16];
    char value[kTextSize];
    FormDiscSection(disc, section, sizeof section);
    if (!FindIniValue(section, "", value, sizeof value, text, textSize)) continue;
    DiscSizeRecord& record = remote->discs[disc - 1];
    for (int part = 0; part < kPartCount; ++part) {
      if (!selected[part]) continue;
      FindIniValue(section, kPartNames[part], value, sizeof value, text, textSize);
      if (value[0] == '*') continue;
      record.size[part] = ParseDescriptionNumber(value);
      record.present[part] = 1;
      sum += record.size[part];
    }
  }
  remote->overallTotal = ClampToInt32(sum * 2);
}
