// Where the installation puts things, and the rules that keep every name taken from a set or a server
// inside its folder. Portable, and the only place that spells a folder of the layout: the download, the
// folders step, the copy engine, the record, the fonts, the shortcut, the Program Manager commands, the
// launch and the uninstaller build their paths here.
//
//   X:\<root>                            root folder          FillRunFolders (BuildRootFolderPath)
//   X:\<root>\<Dir%i>                    system folders       BuildSubfolderPath
//   X:\<root>\QuarnWin32\                program folder       FillRunFolders, AppendProgramFolder
//   X:\<root>\QuarnWin32\QuarnWin32.exe  the installed system InstalledSystemCommandLine, BuildProgramFilePaths
//   X:\<root>\QuarnWin32\Install\        staging folder       FillRunFolders (BuildStagingFolderPath)
//   ...\Install\Disc_NN\<file>           staged set files     FormStagingPath, SourcePathOf, FileListPathOf
//   ...\Install\Disc_01\Install.ini      staged description   BuildDescriptionPath
//   X:\<root><target>, <windows><target> installed files      TargetPathOf, CheckTarget
//   <windows>\Fonts\<font>               fonts                BuildFontPath
//   <desktop>\<group>.lnk                desktop shortcut     BuildDesktopLinkPath
//
// Builders take what they build from first and the caller's buffer (and its size) last, and say whether
// the whole path fit; on false the buffer is empty unless the function says otherwise. A cut path would name another file, so nothing is made from one.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

#include "base/sizes.h"
#include "layout/name_rules.h"
#include "state/install_state.h"

struct FileEntry;  // a parsed file line (layout/description.h)

constexpr char kProgramFolderName[] = "QuarnWin32";
constexpr char kProgramFileName[] = "QuarnWin32.exe";
constexpr char kStagingFolderName[] = "Install";

// ---- The installation's folders

// "<letter>:\" (the drive's top folder), the letter being 64 + drive. False (out empty) when the drive is
// not 1..26 or it does not fit.
bool BuildDriveFolder(int32_t drive, char* out, size_t outSize);

// "<letter>:\<root>" without a trailing backslash. False (out empty) when the drive is not 1..26, the root
// is not a plain folder name or the path does not fit.
bool BuildRootFolderPath(int32_t drive, const char* rootName, char* out, size_t outSize);

// The three folders of a run, each below the one before: root "X:\<root>", program "X:\<root>\QuarnWin32\"
// and staging "X:\<root>\QuarnWin32\Install\". False, all three empty, as BuildRootFolderPath or when
// one does not fit: a cut path would name another folder.
bool FillRunFolders(int32_t drive, const char* rootName, RunPaths* paths);

// Appends rootName + "\QuarnWin32\" to the drive's top folder already in folder ("X:\"): the program
// folder as the download learns it. False when it does not fit (folder then holds a cut text).
bool AppendProgramFolder(const char* rootName, char* folder, size_t size);

// The installed system's working folder "X:\root\QuarnWin32" (the program folder without its trailing
// backslash) and its program "X:\root\QuarnWin32\QuarnWin32.exe". False (both empty) when the program
// folder is empty or a path does not fit.
bool BuildProgramFilePaths(const char* programFolder, char* workingFolder, size_t workingSize, char* programPath,
                           size_t programSize);

// programFolder + "QuarnWin32.exe": the whole command line of the installed system, and the program's
// full path. The command line is not quoted and carries no arguments; the start names the program by
// this path as well, so that blanks in the root folder cannot make the platform start another program.
// Empty when the program folder is empty (no run has filled it).
std::string InstalledSystemCommandLine(const char* programFolder);

// rootFolder followed directly by value, for a value of the description's folder list ("\QuarnWin32\X").
// False (out empty) when the value does not begin with a backslash (it would name a sibling of the root
// folder), when one of its components is made of dots and blanks only (it would climb out of the root
// folder) or is a name Windows treats specially, or when the path does not fit: a cut path would name
// another folder.
bool BuildSubfolderPath(const char* rootFolder, const char* value, char* out, size_t outSize);

// ---- The staged set

// programFolder + "Install\" (the staging folder). False and out empty when it does not fit.
bool BuildStagingFolderPath(const char* programFolder, char* out, size_t outSize);

// programFolder + "Install\Disc_01\Install.ini" (the staged description). False and out empty when it
// does not fit: a cut path would name another file.
bool BuildDescriptionPath(const char* programFolder, char* out, size_t outSize);

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
