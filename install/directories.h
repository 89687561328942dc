// Paths of the system's folders on the target drive: the root folder and the folders below it that the
// staged description lists. Portable; the folder creation itself is in directories_win.cpp.
#pragma once
#include <cstddef>
#include <cstdint>

// True when name can be the root folder: one folder directly below the drive's top folder. So it is not
// empty, holds none of the path characters '\', '/' and ':', and is not made of dots and blanks only
// ("." and ".." would climb; Windows drops trailing dots and blanks, so "..." and ". ." would too). The
// name comes from the server's description, so it is checked before anything is created from it.
bool IsPlainFolderName(const char* name);

// "<letter>:\<root>" without a trailing backslash, the letter being 64 + targetDrive. Returns false and
// leaves out empty when the drive is not 1..26, the root is not a plain folder name or the path does not
// fit into outSize bytes (terminator included).
bool BuildRootFolderPath(char* out, size_t outSize, int32_t targetDrive, const char* rootName);

// rootFolder followed directly by value, for a value of the description's folder list ("\QuarnWin32\X").
// Returns false and leaves out empty when the value does not begin with a backslash (it would name a
// sibling of the root folder), when one of its components is made of dots and blanks only (it would
// climb out of the root folder), or when the path does not fit: a cut path would name another folder.
bool BuildSubfolderPath(char* out, size_t outSize, const char* rootFolder, const char* value);
