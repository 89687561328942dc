// What /UNINSTALL may remove, line kind by line kind. The list it reads lies in the program folder, which
// other users may write; its SHA-256 is kept in the uninstall entry (HKLM) and a list that differs is
// refused, and even a list that matches is held to what the installation can have written. The root folder
// comes from the entry's InstallLocation, never from the list. Portable: every rule is tested natively.
#pragma once
#include <string>

#include "install/uninstall_manifest.h"

// What the uninstaller knows from places only administrators may write (the uninstall entry) and from the
// system (the Windows and desktop folders).
struct UninstallBounds {
  std::string root;           // "X:\<root>": the entry's InstallLocation
  std::string windowsFolder;  // the Windows folder, fonts folder and all ("" unknown)
  std::string desktopFolder;  // the desktop the shortcut was made on ("" unknown)
  std::string entryKey;       // the uninstall entry whose stored digest the list matched
};

// The value of the uninstall entry that holds the SHA-256 of the list the installation wrote.
constexpr char kListDigestValue[] = "QuarnUninstallListSha256";

// True when location is a root folder the installation can have made: "X:\<name>" with a drive letter and
// one plain folder name (IsPlainFolderName), nothing after it but an optional backslash.
bool IsInstallLocation(const std::string& location);

// True when key is an uninstall entry of this installer: the name below
// "Software\Microsoft\Windows\CurrentVersion\Uninstall" is one plain key name (not empty, no backslash,
// no "..").
bool IsUninstallEntryKey(const std::string& key);

// F lines: a file below the root folder; below the Windows folder (the fonts folder too) only a file the
// installation created (an A line: nothing was at its place before), never one it replaced, which was
// the system's or another program's first; nowhere else.
bool MayRemoveFileAt(const UninstallBounds& b, const std::string& path, bool created);
// D lines: a folder below the root folder (not the root's drive or anything above it).
bool MayRemoveFolder(const UninstallBounds& b, const std::string& path);
// S: only this system's desktop shortcut: "<desktop>\<group>.lnk" (the group of the G line).
bool IsOwnShortcut(const UninstallBounds& b, const UninstallManifest& m, const std::string& path);
// K: only a record key below "Software\QuarnSoft\" (no "..").
bool IsOwnRecordKey(const std::string& key);
// R: only values of the set's file types ("Software\Classes\<ext or class>" and below, for the T lines and
// for each extension an R line gives a class) and of its fonts (the Fonts key, a name of an N line).
bool IsOwnValue(const UninstallManifest& m, const ManifestValue& v);
// G: a group name the Program Manager command can carry as one argument: not empty, no control byte and
// none of [ ] ( ) , " (which would end the argument or the command and start another).
bool IsPlainGroupName(const std::string& name);
// X: only "<root>\QuarnWin32\Install" (with or without the trailing backslash).
bool IsOwnStagingFolder(const UninstallBounds& b, const std::string& path);
// P: only "<root>\QuarnWin32\QuarnWebInstall.exe".
bool IsOwnInstallerCopy(const UninstallBounds& b, const std::string& path);
