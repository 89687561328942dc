#include "set_model.h"

#include <cstdio>
#include "text_util.h"

namespace quarnset {

const char* const kPartNames[kPartCount] = {"Setup",    "Systems", "Drawings", "Blocks",
                                            "Projects", "Datas",   "Help"};
const char* const kSetFolder = "KelvaranDemo";
const char* const kProbeFile = "Update.ini";
const char* const kDescriptionFile = "Install.ini";

int FindPart(const std::string& name) {
  for (int i = 0; i < kPartCount; ++i)
    if (name == kPartNames[i]) return i;
  return -1;
}

int FindPartIgnoringCase(const std::string& name) {
  for (int i = 0; i < kPartCount; ++i)
    if (EqualsIgnoringCase(name, kPartNames[i])) return i;
  return -1;
}

std::string DiscFolderName(int disc) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "Disc_%02d", disc);
  return buf;
}

std::string DiscSectionName(int disc) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "Disc%02d", disc);
  return buf;
}

std::string FileListName(int disc) {
  return "Fajls_" + std::to_string(disc) + ".ini";
}

Disc* SetModel::FindDisc(int number) {
  for (auto& d : discs)
    if (d.number == number) return &d;
  return nullptr;
}

const Disc* SetModel::FindDisc(int number) const {
  for (const auto& d : discs)
    if (d.number == number) return &d;
  return nullptr;
}

}  // namespace quarnset
