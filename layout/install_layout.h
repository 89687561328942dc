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

struct FileEntry;  // a parsed file line (layout/description.h)

constexpr char kProgramFolderName[] = "QuarnWin32";
constexpr char kProgramFileName[] = "QuarnWin32.exe";
constexpr char kStagingFolderName[] = "Install";

// ---- Rules: does a name stay inside its folder?

// True when a path holds a segment that climbs out of the folder it is appended to: "..", and also the
// forms Windows reduces to it (a segment of only dots and blanks with at least two dots, e.g. ".. " or
// "..."). Both '\' and '/' separate segments. (Description source and target paths, fonts, uninstall.)
bool ContainsParentSegment(const char* path);

// True when a path holds a name Windows does not take as written: a device name in any element, with or
// without an extension ("CON", "nul.txt", "COM1", "LPT1 .log"; Windows opens the device instead of a
// file), a ':' anywhere (a drive, or an alternate data stream: "x.txt:ads"), or an element that ends in a
// dot or a blank (Windows drops them, so "a." and "a " name the file "a"). Elements made of dots and blanks
// only ("." and "..") are left to the rules about climbing. Both '\' and '/' separate elements. Such names
// are refused wherever a set names a file or folder: server names, targets, folders and the root.
bool HoldsSpecialWindowsName(const char* path);

// True when name can be the root folder: one folder directly below the drive's top folder. So it is not
// empty, holds none of the path characters '\', '/' and ':', and is not made of dots and blanks only
// ("." and ".." would climb; Windows drops trailing dots and blanks, so "..." and ". ." would too), and no
// name Windows treats specially (HoldsSpecialWindowsName). The name comes from the server's description,
// so it is checked before anything is created from it.
bool IsPlainFolderName(const char* name);

// True when a server's RootDirectory value may name the root folder: present (no leading '*'), a safe
// server name (below) and a single folder (no backslash). Anything else counts as missing.
bool IsServerRootName(const char* value);

// True when a server name stays inside its disc folder: not empty, no drive or stream colon, no
// leading or doubled separator, no component made only of dots (or dots and blanks, which Windows
// trims to nothing), no forward slash (Windows reads it as a separator too), no control byte, none
// of the characters that Windows file names cannot hold, and no name Windows treats specially
// (HoldsSpecialWindowsName). Backslashes between names (subfolders) pass.
bool IsSafeServerName(const char* name);

// True when fontFile names a file inside the fonts folder: not empty, not absolute, no drive, and no
// ".." component, so that a description cannot make the installer load or register a font from
// anywhere else.
bool IsFontFileInsideFontsFolder(const char* fontFile);

// True when name can be the file name of a link on the desktop: not empty, not "." or "..", and
// without "\", "/" or ":", so that the group name from the description cannot place the link outside the
// desktop folder (or into an alternate data stream), and not a device name ("CON" would give "CON.lnk",
// the console). ".lnk" is appended, so longer runs of dots and a trailing dot or blank stay.
bool IsPlainLinkName(const char* name);

// True when a prepared Program Manager command names something the Program Manager would put outside
// its own folder: a ".." at the start of an argument or of a path component ("[CreateGroup(..\\x)]",
// "[AddItem(a.exe, ..x)]"). The service joins group and item names to its folder and resolves a leading
// ".." into the folder above, whatever follows it. Such a command is not sent.
bool LeavesProgramManagerFolder(const std::string& command);

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
