// The installation description formats (Install.ini and the per-disc file lists Fajls_N.ini):
// the parts, the disc table, and the portable parsing of their values.
#pragma once
#include <cstdint>

constexpr int kPartCount = 7;
constexpr int kDiscCount = 15;
constexpr int kTextSize = 256;  // every value, path and URL buffer of the installer

// The seven parts in their fixed order; the names are both INI section names and key names.
enum PartIndex { kSetup = 0, kSystems, kDrawings, kBlocks, kProjects, kDatas, kHelp };
extern const char* const kPartNames[kPartCount];

// One disc of the staged set, as the copy engine sees it.
struct DiscEntry {
  char label[kTextSize];      // empty: the disc is not part of the set
  int32_t present[kPartCount];  // 1 when the disc holds the part
};
