#include "layout/install_layout.h"

#include <cstring>

#include "base/text.h"
#include "layout/description.h"

namespace {

bool IsSeparator(char c) { return c == '\\' || c == '/'; }
bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// Counts the dots of a segment [begin, end) made of dots and blanks only; -1 for any other segment.
// Win32 path normalisation drops trailing dots and blanks of a segment, so such a segment acts like "."
// (one dot) or ".." (two or more), and one of blanks only like nothing at all.
int DotsOfDotsOnlySegment(const char* begin, const char* end) {
  int dots = 0;
  for (const char* p = begin; p < end; ++p) {
    if (*p == '.') {
      ++dots;
    } else if (*p != ' ') {
      return -1;
    }
  }
  return dots;
}

// A segment that moves through the tree: "." or ".." in any of the forms Windows reduces to them.
bool IsDotsSegment(const char* begin, const char* end) { return DotsOfDotsOnlySegment(begin, end) >= 1; }

char Upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

// True when the element [begin, end) opens a device: its name before the first dot, trailing blanks
// dropped, is one of the names Windows reserves in every folder. COM and LPT take a digit 0..9 or the
// superscripts 1, 2 and 3 (code page 1250: 0xB9, 0xB2, 0xB3), which Windows also reads as their digits.
bool IsDeviceElement(const char* begin, const char* end) {
  const char* stem = begin;
  while (stem < end && *stem != '.') ++stem;
  while (stem > begin && (stem[-1] == ' ' || stem[-1] == '\t')) --stem;
  const size_t length = static_cast<size_t>(stem - begin);
  char name[8];
  if (length < 3 || length > 7) return false;
  for (size_t i = 0; i < length; ++i) name[i] = Upper(begin[i]);
  name[length] = '\0';
  static const char* const kPlain[] = {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$", "CLOCK$"};
  for (const char* device : kPlain) {
    if (strcmp(name, device) == 0) return true;
  }
  if (length == 4 && (strncmp(name, "COM", 3) == 0 || strncmp(name, "LPT", 3) == 0)) {
    const unsigned char n = static_cast<unsigned char>(name[3]);
    return (n >= '0' && n <= '9') || n == 0xB9 || n == 0xB2 || n == 0xB3;
  }
  return false;
}

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

// ---- Rules

bool ContainsParentSegment(const char* path) {
  if (path == nullptr) return false;
  const char* segment = path;
  for (const char* p = path;; ++p) {
    if (*p == '\0' || IsSeparator(*p)) {
      if (DotsOfDotsOnlySegment(segment, p) >= 2) return true;
      if (*p == '\0') return false;
      segment = p + 1;
    }
  }
}

bool HoldsSpecialWindowsName(const char* path) {
  if (path == nullptr) return false;
  const char* element = path;
  for (const char* p = path;; ++p) {
    if (*p == ':') return true;
    if (*p == '\0' || IsSeparator(*p)) {
      if (p > element && DotsOfDotsOnlySegment(element, p) < 0) {
        if (p[-1] == '.' || IsBlank(p[-1]) || IsDeviceElement(element, p)) return true;
      }
      if (*p == '\0') return false;
      element = p + 1;
    }
  }
}

bool IsPlainFolderName(const char* name) {
  if (name[0] == '\0') return false;
  for (const char* p = name; *p; ++p) {
    if (IsSeparator(*p) || *p == ':') return false;
  }
  return !IsDotsSegment(name, name + strlen(name)) && !HoldsSpecialWindowsName(name);
}

bool IsServerRootName(const char* value) {
  return value[0] != '*' && IsSafeServerName(value) && strchr(value, '\\') == nullptr;
}

bool IsSafeServerName(const char* name) {
  if (name[0] == '\0') return false;
  const char* component = name;
  for (const char* p = name;; ++p) {
    unsigned char c = static_cast<unsigned char>(*p);
    if (c == '\\' || c == '\0') {
      // The component [component, p): not empty, and not only dots and blanks (blanks alone included).
      if (p == component || DotsOfDotsOnlySegment(component, p) >= 0) return false;
      if (c == '\0') break;
      component = p + 1;
      continue;
    }
    if (c < 0x20 || strchr(":/*?\"<>|", c) != nullptr) return false;
  }
  return !HoldsSpecialWindowsName(name);
}

bool IsFontFileInsideFontsFolder(const char* fontFile) {
  if (fontFile[0] == '\0' || IsSeparator(fontFile[0])) return false;
  if (strchr(fontFile, ':') != nullptr) return false;
  return !ContainsParentSegment(fontFile) && !HoldsSpecialWindowsName(fontFile);
}

bool IsPlainLinkName(const char* name) {
  if (name[0] == '\0' || strcmp(name, ".") == 0 || strcmp(name, "..") == 0) return false;
  // The link's file is name + ".lnk": "CON" would make "CON.lnk", which is the console device. A trailing
  // dot or blank of the name is harmless there ("Kft." gives "Kft..lnk").
  if (strpbrk(name, "\\/:") != nullptr) return false;
  return !HoldsSpecialWindowsName((std::string(name) + ".lnk").c_str());
}

bool LeavesProgramManagerFolder(const std::string& command) {
  // Where a name or a path component can begin: after "(", ",", a quote or a separator, blanks skipped.
  bool atStart = false;
  for (size_t i = 0; i < command.size(); ++i) {
    const char c = command[i];
    if (atStart && c == '.' && i + 1 < command.size() && command[i + 1] == '.') return true;
    if (c == '(' || c == ',' || c == '"' || IsSeparator(c)) {
      atStart = true;
    } else if (!IsBlank(c)) {
      atStart = false;
    }
  }
  return false;
}

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
