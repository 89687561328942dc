// Shared fixtures of the quarnset tests: a scratch folder, and a small valid manifest with its files.
#pragma once

#include <filesystem>
#include <string>

#include "findings.h"

namespace quarnset::testing {

// A fresh folder below the system's temporary folder, removed with the object.
class ScratchDir {
 public:
  ScratchDir();
  ~ScratchDir();
  const std::filesystem::path& path() const { return path_; }
  std::string operator/(const std::string& name) const { return (path_ / name).string(); }

 private:
  std::filesystem::path path_;
};

void WriteBytes(const std::string& path, const std::string& bytes);
std::string ReadBytes(const std::string& path);

// A small two-disc manifest that builds cleanly; its local files are written into dir/files.
std::string ValidManifest();
void WriteManifestFiles(const ScratchDir& dir);

// A loopback TCP port that was free a moment ago, for a test server of the test's own.
int FreePort();

// All findings as text, one per line (shown when a test fails).
std::string Dump(const Findings& findings);

}  // namespace quarnset::testing
