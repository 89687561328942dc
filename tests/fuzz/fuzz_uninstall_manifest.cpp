// The uninstall list over arbitrary text: never reads outside its input, every field it accepts is
// bounded, and what it accepted writes back to a list that reads the same (nothing is lost or changed
// between an installation writing the list and the uninstaller reading it).
#include <cstddef>
#include <cstdint>

#include "install/uninstall_manifest.h"

namespace {
bool Same(const UninstallManifest& a, const UninstallManifest& b) {
  if (a.files.size() != b.files.size() || a.folders != b.folders || a.values.size() != b.values.size() ||
      a.fileTypes.size() != b.fileTypes.size() || a.fonts.size() != b.fonts.size()) {
    return false;
  }
  for (size_t i = 0; i < a.files.size(); ++i) {
    if (a.files[i].path != b.files[i].path || a.files[i].size != b.files[i].size ||
        a.files[i].sha256 != b.files[i].sha256 || a.files[i].created != b.files[i].created) {
      return false;
    }
  }
  for (size_t i = 0; i < a.values.size(); ++i) {
    if (a.values[i].key != b.values[i].key || a.values[i].name != b.values[i].name ||
        a.values[i].data != b.values[i].data) {
      return false;
    }
  }
  return a.shortcut == b.shortcut && a.group == b.group && a.stagingFolder == b.stagingFolder &&
         a.uninstallKey == b.uninstallKey && a.installerCopy == b.installerCopy && a.systemName == b.systemName &&
         a.recordKey == b.recordKey && a.rootFolder == b.rootFolder;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  UninstallManifest m;
  const ManifestParseResult r = ParseManifest(reinterpret_cast<const char*>(data), size, &m);
  if (!r.headerOk) return 0;
  for (const ManifestFile& f : m.files) {
    if (f.path.empty() || f.path.size() > kMaxManifestField || f.sha256.size() != 64) __builtin_trap();
  }
  for (const std::string& d : m.folders) {
    if (d.empty() || d.size() > kMaxManifestField) __builtin_trap();
  }
  const std::string text = WriteManifest(m);
  UninstallManifest back;
  const ManifestParseResult again = ParseManifest(text.data(), text.size(), &back);
  if (!again.headerOk || again.badLines != 0 || again.unknownLines != 0) __builtin_trap();
  if (!Same(m, back)) __builtin_trap();
  return 0;
}
