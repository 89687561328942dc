// A folder of this run that only administrators and the system may write: the verified copies of the
// set's description and file lists live there, so that the platform's profile reader reads the bytes the
// download checked, not whatever another user has since put into the staging folder (every folder below a
// drive's top folder lets any local user change files in it).
#pragma once
#include <cstddef>

// Makes a new folder in this user's temporary folder (the elevated administrator's own) with a protected
// permission list: full control for Administrators and SYSTEM, nothing inherited, nobody else. The name is
// new for this run (a folder of that name that exists already, made by anyone, is never used). `out`
// receives its path with a trailing backslash. False (out empty) when no such folder could be made.
bool CreatePrivateFolder(char* out, size_t outSize);

// Writes `size` bytes as folder + relativePath ("Disc_01\Install.ini"), making the one subfolder it names
// (it inherits the folder's permissions). The file must not exist; it is written without sharing and
// flushed. False on any failure (a partial file is deleted).
bool WritePrivateFile(const char* folder, const char* relativePath, const char* data, size_t size);

// Removes the folder made by CreatePrivateFolder and everything in it (two levels: its subfolders and
// their files, and deeper). Reparse points are removed, never followed. Missing: nothing to do.
void RemovePrivateFolder(const char* folder);
