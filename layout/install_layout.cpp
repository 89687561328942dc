#include "layout/install_layout.h"

#include <cstring>

#include "base/text.h"
#include "layout/description.h"

namespace {

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

bool Fail(char* out, size_t outSize) {
  if (outSize > 0) out[0] = '\0';
  return false;
}

// programFolder + tail, or false and out empty.
bool BuildBelow(char* out, size_t outSize, const char* folder, const char* tail) {
  if (CopyText(out, outSize, folder) && AppendText(out, outSize, tail)) return true;
  return Fail(out, outSize);
}

}  // namespace
// ---- The installation's folders

bool BuildRootFolderPath(char* out, size_t outSize, int32_t targetDrive, const char* rootName) {
  if (targetDrive < 1 || targetDrive > 26 || !IsPlainFolderName(rootName)) return Fail(out, outSize);
  const char drive[4] = {static_cast<char>(64 + targetDrive), ':', '\\', '\0'};
  return BuildBelow(out, outSize, drive, rootName);
}

std::string RootFolderOf(int targetDrive, const char* rootName) {
  std::string s(1, static_cast<char>(64 + targetDrive));
  s += ":\\";
  s += rootName;
  return s;
}

bool BuildInstalledProgramFolder(int drive, const char* rootName, char* out, size_t size) {
  return BuildRootFolderPath(out, size, drive, rootName) && AppendText(out, size, "\\") &&
         AppendText(out, size, kProgramFolderName) && AppendText(out, size, "\\");
}

bool AppendProgramFolder(char* folder, size_t size, const char* rootName) {
  return AppendText(folder, size, rootName) && AppendText(folder, size, "\\") &&
         AppendText(folder, size, kProgramFolderName) && AppendText(folder, size, "\\");
}

bool BuildProgramFilePaths(int drive, const char* rootName, char* workingFolder, size_t workingSize,
                           char* programPath, size_t programSize) {
  return BuildRootFolderPath(workingFolder, workingSize, drive, rootName) &&
         AppendText(workingFolder, workingSize, "\\") && AppendText(workingFolder, workingSize, kProgramFolderName) &&
         CopyText(programPath, programSize, workingFolder) && AppendText(programPath, programSize, "\\") &&
         AppendText(programPath, programSize, kProgramFileName);
}

std::string InstalledSystemCommandLine(int32_t targetDrive, const char* rootName) {
  if (targetDrive < 1 || targetDrive > 26 || rootName == nullptr) return std::string();
  return RootFolderOf(targetDrive, rootName) + "\\" + kProgramFolderName + "\\" + kProgramFileName;
}

bool BuildSubfolderPath(char* out, size_t outSize, const char* rootFolder, const char* value) {
  if (value[0] != '\\') return Fail(out, outSize);
  const char* begin = value;
  for (const char* p = value;; ++p) {
    if (*p == '\0' || IsSeparator(*p)) {
      if (IsDotsSegment(begin, p)) return Fail(out, outSize);
      if (p > begin && HoldsSpecialWindowsName(std::string(begin, p).c_str())) return Fail(out, outSize);
      if (*p == '\0') break;
      begin = p + 1;
    }
  }
  return BuildBelow(out, outSize, rootFolder, value);
}

// ---- The staged set

bool BuildStagingFolderPath(char* out, size_t outSize, const char* programFolder) {
  const std::string tail = std::string(kStagingFolderName) + "\\";
  return BuildBelow(out, outSize, programFolder, tail.c_str());
}

bool BuildDescriptionPath(char* out, size_t outSize, const char* programFolder) {
  const std::string tail = std::string(kStagingFolderName) + "\\" + DiscFolderName(1) + "\\Install.ini";
  return BuildBelow(out, outSize, programFolder, tail.c_str());
}

bool FormStagingPath(const char* stagingFolder, const char* discFolder, const char* fileName,
                     char* path, size_t pathSize) {
  if (pathSize == 0) return false;
  path[0] = '\0';
  bool fit = AppendText(path, pathSize, stagingFolder);
  fit = fit && AppendText(path, pathSize, discFolder);
  if (fileName != nullptr) {
    fit = fit && AppendText(path, pathSize, "\\");
    fit = fit && AppendText(path, pathSize, fileName);
  }
  return fit;
}

std::string SourcePathOf(const char* stagingFolder, int disc, const char* source) {
  return std::string(stagingFolder) + DiscFolderName(disc) + source;
}

std::string FileListPathOf(const char* stagingFolder, int disc) {
  return std::string(stagingFolder) + DiscFolderName(disc) + "\\" + FileListName(disc);
}

// ---- Installed files

std::string TargetPathOf(const FileEntry& entry, const std::string& rootFolder, const char* windowsFolder) {
  const std::string base = entry.base == TargetBase::kWindowsFolder ? std::string(windowsFolder) : rootFolder;
  return base + entry.targetPath;
}

TargetCheck CheckTarget(const FileEntry& entry, const char* windowsFolder, const std::string& targetPath) {
  if (!IsSeparator(entry.targetPath[0]) || ContainsParentSegment(entry.targetPath) ||
      HoldsSpecialWindowsName(entry.targetPath)) {
    return TargetCheck::kOutsideBase;
  }
  if (entry.base == TargetBase::kWindowsFolder && windowsFolder[0] == '\0') return TargetCheck::kNoBase;
  if (!FitsPathBuffer(targetPath)) return TargetCheck::kTooLong;
  return TargetCheck::kOk;
}

bool BuildFontPath(const char* windowsFolder, const char* fontFile, char* out, size_t size) {
  if (size > 0) out[0] = '\0';
  if (!IsFontFileInsideFontsFolder(fontFile)) return false;
  return CopyText(out, size, windowsFolder) && AppendText(out, size, "\\Fonts\\") &&
         AppendText(out, size, fontFile);
}

bool BuildDesktopLinkPath(const char* desktopFolder, const char* name, char* out, size_t size) {
  if (!IsPlainLinkName(name)) return false;
  return CopyText(out, size, desktopFolder) && AppendText(out, size, "\\") && AppendText(out, size, name) &&
         AppendText(out, size, ".lnk");
}
