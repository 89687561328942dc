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

bool BuildDriveFolder(int32_t drive, char* out, size_t outSize) {
  if (drive < 1 || drive > 26) return Fail(out, outSize);
  const char top[4] = {static_cast<char>(64 + drive), ':', '\\', '\0'};
  return CopyText(out, outSize, top) || Fail(out, outSize);
}

bool BuildRootFolderPath(int32_t drive, const char* rootName, char* out, size_t outSize) {
  char top[4];
  if (!BuildDriveFolder(drive, top, sizeof top) || rootName == nullptr || !IsPlainFolderName(rootName)) return Fail(out, outSize);
  return BuildBelow(out, outSize, top, rootName);
}

bool FillRunFolders(int32_t drive, const char* rootName, RunPaths* paths) {
  const size_t size = sizeof paths->rootFolder;
  if (BuildRootFolderPath(drive, rootName, paths->rootFolder, size) &&
      BuildBelow(paths->programFolder, size, paths->rootFolder, "\\") &&
      AppendText(paths->programFolder, size, kProgramFolderName) && AppendText(paths->programFolder, size, "\\") &&
      BuildStagingFolderPath(paths->programFolder, paths->stagingFolder, size)) {
    return true;
  }
  paths->rootFolder[0] = paths->programFolder[0] = paths->stagingFolder[0] = '\0';
  return false;
}

bool AppendProgramFolder(const char* rootName, char* folder, size_t size) {
  return AppendText(folder, size, rootName) && AppendText(folder, size, "\\") &&
         AppendText(folder, size, kProgramFolderName) && AppendText(folder, size, "\\");
}

bool BuildProgramFilePaths(const char* programFolder, char* workingFolder, size_t workingSize, char* programPath,
                           size_t programSize) {
  const size_t length = strlen(programFolder);
  if (length < 2 || programFolder[length - 1] != '\\' || length > workingSize ||
      !BuildBelow(programPath, programSize, programFolder, kProgramFileName)) {
    Fail(programPath, programSize);
    return Fail(workingFolder, workingSize);
  }
  memcpy(workingFolder, programFolder, length - 1);
  workingFolder[length - 1] = '\0';
  return true;
}

std::string InstalledSystemCommandLine(const char* programFolder) {
  if (programFolder == nullptr || programFolder[0] == '\0') return std::string();
  return std::string(programFolder) + kProgramFileName;
}

bool BuildSubfolderPath(const char* rootFolder, const char* value, char* out, size_t outSize) {
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

bool BuildStagingFolderPath(const char* programFolder, char* out, size_t outSize) {
  const std::string tail = std::string(kStagingFolderName) + "\\";
  return BuildBelow(out, outSize, programFolder, tail.c_str());
}

bool BuildDescriptionPath(const char* programFolder, char* out, size_t outSize) {
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
