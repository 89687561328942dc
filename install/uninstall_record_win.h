// What the running installation creates, gathered for the uninstall list (install/uninstall_manifest.h),
// and its saving at the run's end together with the installer's copy and the uninstall entry. Every
// Record* call may come from any thread.
#pragma once
#include <windows.h>

#include <cstdint>
#include <string>

#include "install/uninstall_manifest.h"

// SHA-256 and size of an open file, read from its current position (its start, for a file just opened).
// False when a read fails.
bool HashOpenFile(HANDLE file, uint64_t* size, std::string* sha256);

// A file the copy step wrote (created or replaced), with the size and hash of the bytes it wrote. The
// file is not read back: that would change its last-access time, and a device (a target that names one)
// may never end.
void RecordInstalledFile(const char* path, uint64_t size, const std::string& sha256);
// The size and hash recorded for an installed file (a search of the whole list, case-insensitive: for
// the launch's check of the program file and for the tests). false: the path was not recorded.
bool FindRecordedFile(const char* path, uint64_t* size, std::string* sha256);
// A folder this run made (CreateDirectoryA succeeded).
void RecordCreatedFolder(const char* path);
// A string value written below HKEY_LOCAL_MACHINE (name null or empty: the key's default value).
void RecordRegistryValue(const char* keyPath, const char* valueName, const char* data);
void RecordFont(const char* fontName, const char* fontFile);
void RecordShortcut(const char* linkPath);

// Writes the list into the program folder (merged with the list of an earlier installation there),
// copies the running installer beside it and registers the uninstall entry. The run's description gives
// the system's name, version and group. Returns 0 when the list was written.
int SaveUninstallRecord();

// SHA-256 of a file as 64 lower-case hex digits, and its size; false when it cannot be read.
bool HashFile(const char* path, uint64_t* size, std::string* sha256);

// The uninstall entry's key for a system name.
std::string UninstallKeyOf(const std::string& systemName);

// The installer's copy in the program folder.
constexpr char kInstallerCopyName[] = "QuarnWebInstall.exe";
