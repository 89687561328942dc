#include "set_model.h"

#include "text_util.h"

namespace quarnset {

const char* const kProbeFile = "Update.ini";
const char* const kDescriptionFile = "Install.ini";

std::string SetFilePath(int disc, const std::string& name) {
  std::string rel = std::string(kSetFolder) + "/" + DiscFolderName(disc) + "/" + name;
  for (auto& c : rel)
    if (c == '\\') c = '/';
  return rel;
}

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
