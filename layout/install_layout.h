// Where the installation puts things, and the rules that keep every name taken from a set or a server
// inside its folder. Portable, and the only place that spells a folder of the layout: the download, the
// folders step, the copy engine, the record, the fonts, the shortcut, the Program Manager commands, the
// launch and the uninstaller build their paths here.
//
//   X:\<root>                            root folder          BuildRootFolderPath, RootFolderOf
//   X:\<root>\<Dir%i>                    system folders       BuildSubfolderPath
//   X:\<root>\QuarnWin32\                program folder       BuildInstalledProgramFolder, AppendProgramFolder
//   X:\<root>\QuarnWin32\QuarnWin32.exe  the installed system InstalledSystemCommandLine, BuildProgramFilePaths
//   X:\<root>\QuarnWin32\Install\        staging folder       BuildStagingFolderPath
//   ...\Install\Disc_NN\<file>           staged set files     FormStagingPath, SourcePathOf, FileListPathOf
//   ...\Install\Disc_01\Install.ini      staged description   BuildDescriptionPath
//   X:\<root><target>, <windows><target> installed files      TargetPathOf, CheckTarget
//   <windows>\Fonts\<font>               fonts                BuildFontPath
//   <desktop>\<group>.lnk                desktop shortcut     BuildDesktopLinkPath
//
// Builders write into a caller buffer and say whether the whole path fit; on false the buffer is empty
// unless the function says otherwise. A cut path would name another file, so nothing is made from one.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

#include "base/sizes.h"
#include "layout/name_rules.h"

struct FileEntry;  // a parsed file line (layout/description.h)

constexpr char kProgramFolderName[] = "QuarnWin32";
constexpr char kProgramFileName[] = "QuarnWin32.exe";
constexpr char kStagingFolderName[] = "Install";

// ---- The installation's folders

// "<letter>:\<root>" without a trailing backslash, the letter being 64 + targetDrive. False (out empty)
// when the drive is not 1..26, the root is not a plain folder name or the path does not fit.
bool BuildRootFolderPath(char* out, size_t outSize, int32_t targetDrive, const char* rootName);

// The same as a text without a length limit, for the copy targets and the Program Manager's '#'. The
// drive and root are used as the state holds them (the root name was checked when it was taken).
std::string RootFolderOf(int targetDrive, const char* rootName);

// The installed program folder "X:\root\QuarnWin32\" (with the trailing backslash). False for a drive
// number outside 1..26, a root that is not a plain folder name, or when the path does not fit.
bool BuildInstalledProgramFolder(int drive, const char* rootName, char* out, size_t size);

// Appends rootName + "\QuarnWin32\" to the drive's top folder already in folder ("X:\"): the program
// folder as the download learns it. False when it does not fit (folder then holds a cut text).
bool AppendProgramFolder(char* folder, size_t size, const char* rootName);

// The installed system's working folder "X:\root\QuarnWin32" (no trailing backslash) and its program
// "X:\root\QuarnWin32\QuarnWin32.exe". False as BuildInstalledProgramFolder.
bool BuildProgramFilePaths(int drive, const char* rootName, char* workingFolder, size_t workingSize,
                           char* programPath, size_t programSize);

// "<drive>:\<root>\QuarnWin32\QuarnWin32.exe": the whole command line of the installed system, and the
// program's full path. The command line is not quoted and carries no arguments; the start names the
// program by this path as well, so that blanks in the root folder cannot make the platform start another
// program. Empty when the drive is not 1..26.
std::string InstalledSystemCommandLine(int32_t targetDrive, const char* rootName);

// rootFolder followed directly by value, for a value of the description's folder list ("\QuarnWin32\X").
// False (out empty) when the value does not begin with a backslash (it would name a sibling of the root
// folder), when one of its components is made of dots and blanks only (it would climb out of the root
// folder) or is a name Windows treats specially, or when the path does not fit: a cut path would name
// another folder.
bool BuildSubfolderPath(char* out, size_t outSize, const char* rootFolder, const char* value);

// ---- The staged set

// programFolder + "Install\" (the staging folder). False and out empty when it does not fit.
bool BuildStagingFolderPath(char* out, size_t outSize, const char* programFolder);

// programFolder + "Install\Disc_01\Install.ini" (the staged description). False and out empty when it
// does not fit: a cut path would name another file.
bool BuildDescriptionPath(char* out, size_t outSize, const char* programFolder);

// stagingFolder + discFolder, then "\" + fileName when fileName is given (nullptr: the disc folder).
// False when it does not fit (path then holds a cut text).
bool FormStagingPath(const char* stagingFolder, const char* discFolder, const char* fileName,
                     char* path, size_t pathSize);

// The staging folder (ending in a backslash) + "Disc_NN" + the source as the file list writes it
// (it begins with its own backslash).
std::string SourcePathOf(const char* stagingFolder, int disc, const char* source);

// The file list of a disc: staging folder + "Disc_NN\" + "Fajls_N.ini".
std::string FileListPathOf(const char* stagingFolder, int disc);

// ---- Installed files

enum class TargetCheck {
  kOk,
  kOutsideBase,  // the target path would not stay inside its base folder (no leading backslash, "..", or a
                 // name Windows treats specially: a device, a stream, a trailing dot or blank)
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

// windowsFolder + "\Fonts\" + fontFile into out. False when the name leaves the fonts folder or the path
// does not fit.
bool BuildFontPath(const char* windowsFolder, const char* fontFile, char* out, size_t size);

// desktopFolder + "\" + name + ".lnk". False when the name is not a plain link name or it does not fit.
bool BuildDesktopLinkPath(const char* desktopFolder, const char* name, char* out, size_t size);
