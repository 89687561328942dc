// What the running installation creates, gathered for the uninstall list (install/uninstall_manifest.h;
// install/uninstall_save_win.h writes it at the run's end). Every Record* call may come from any thread.
#pragma once
#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>

#include "install/uninstall_manifest.h"

// SHA-256 and size of an open file, read from its current position (its start, for a file just opened).
// False when a read fails.
bool HashOpenFile(HANDLE file, uint64_t* size, std::string* sha256);

// A file the copy step wrote, with the size and hash of the bytes it wrote; `created`: nothing was at its
// place before (the uninstaller removes a file outside the root folder only then). The file is not read
// back: that would change its last-access time, and a device (a target that names one) may never end.
void RecordInstalledFile(const char* path, uint64_t size, const std::string& sha256, bool created);
// The size and hash recorded for an installed file (a search of the whole list, case-insensitive: for
// the launch's check of the program file and for the tests). false: the path was not recorded.
bool FindRecordedFile(const char* path, uint64_t* size, std::string* sha256);
// A folder this run made (CreateDirectoryA succeeded).
void RecordCreatedFolder(const char* path);
// A string value written below HKEY_LOCAL_MACHINE (name null or empty: the key's default value).
void RecordRegistryValue(const char* keyPath, const char* valueName, const char* data);
void RecordFont(const char* fontName, const char* fontFile);
void RecordShortcut(const char* linkPath);

// Forgets everything recorded: a run of its own starts with an empty record.
void ForgetRecord();

// Runs `use` with what was recorded so far: the folders, values, fonts and shortcut in `record` (its files
// list is empty), the installed files in `files` (which `use` may mark, e.g. files an earlier installation
// created). No Record* call changes either while `use` runs.
void WithRecord(const std::function<void(const UninstallManifest& record, ManifestFileSet& files)>& use);

// SHA-256 of a file as 64 lower-case hex digits, and its size; false when it cannot be read.
bool HashFile(const char* path, uint64_t* size, std::string* sha256);
