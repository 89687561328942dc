#include "install/copy_paths.h"

std::string RootFolderOf(int targetDrive, const char* rootName) {
  std::string s(1, static_cast<char>(64 + targetDrive));
  s += ":\\";
  s += rootName;
  return s;
}

std::string SourcePathOf(const char* stagingFolder, int disc, const char* source) {
  return std::string(stagingFolder) + DiscFolderName(disc) + source;
}

std::string FileListPathOf(const char* stagingFolder, int disc) {
  return std::string(stagingFolder) + DiscFolderName(disc) + "\\" + FileListName(disc);
}

std::string TargetPathOf(const FileEntry& entry, const std::string& rootFolder, const char* windowsFolder) {
  const std::string base = entry.base == TargetBase::kWindowsFolder ? std::string(windowsFolder) : rootFolder;
  return base + entry.targetPath;
}

TargetCheck CheckTarget(const FileEntry& entry, const char* windowsFolder, const std::string& targetPath) {
  const char first = entry.targetPath[0];
  if ((first != '\\' && first != '/') || ContainsParentSegment(entry.targetPath)) {
    return TargetCheck::kOutsideBase;
  }
  if (entry.base == TargetBase::kWindowsFolder && windowsFolder[0] == '\0') return TargetCheck::kNoBase;
  if (!FitsPathBuffer(targetPath)) return TargetCheck::kTooLong;
  return TargetCheck::kOk;
}
