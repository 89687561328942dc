// Where the copy engine reads and writes one file of a file list: the source below the staging folder
// and the target below the root folder or the Windows folder. Portable, so the path rules are checked
// natively.
#pragma once
#include <string>

#include "layout/description.h"

// "<drive>:\<root>": the root folder every root-based target path is appended to (no trailing backslash).
std::string RootFolderOf(int targetDrive, const char* rootName);

// The staging folder (ending in a backslash) + "Disc_NN" + the source as the file list writes it
// (it begins with its own backslash).
std::string SourcePathOf(const char* stagingFolder, int disc, const char* source);

// The file list of a disc: staging folder + "Disc_NN\" + "Fajls_N.ini".
std::string FileListPathOf(const char* stagingFolder, int disc);

enum class TargetCheck {
  kOk,
  kOutsideBase,  // the target path would not stay inside its base folder (no leading backslash, or "..")
  kNoBase,       // "*%" while the Windows folder is unknown: there is no folder to append to
  kTooLong,      // the whole path does not fit the 256-byte path buffer
};

// The target of a parsed file line: its base folder + the target path, unchanged.
std::string TargetPathOf(const FileEntry& entry, const std::string& rootFolder, const char* windowsFolder);

// Whether the target can be written where the line says. A target path must begin with a separator:
// appended to "C:\windows", "x.dll" would name "C:\windowsx.dll", beside the base folder instead of in it.
TargetCheck CheckTarget(const FileEntry& entry, const char* windowsFolder, const std::string& targetPath);

// True when a path fits a 256-byte buffer with its terminator.
inline bool FitsPathBuffer(const std::string& path) { return path.size() < static_cast<size_t>(kTextSize); }
