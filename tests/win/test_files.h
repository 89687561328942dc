// Small file helpers for the Windows tests: make, write, read, test and remove files and folder trees
// through the platform's own calls (the program under test uses the same ones). Paths are Windows paths
// that start with a drive ("T:\..."); a folder path may end with '\' or not.
#pragma once
#include <cstdint>
#include <string>

namespace quarn_test {

// Chooses the target drive and root folder name as the options dialog and the download do, and fills the
// run's folders from them as the worker does (all empty when the root is not one plain folder).
void ChooseTarget(int32_t drive, const char* rootName);

// Every folder of the path, from the drive down; true when all of them are there afterwards.
bool MakeDirs(const std::string& path);

// Writes the bytes as the whole file, making its parent folders first; true when every byte was written.
bool WriteFileBytes(const std::string& path, const std::string& bytes);
// Text files as the program's sets have them: each "\n" of text written as CR LF, every other byte as it
// is (code page 1250 texts stay as they are).
bool WriteCrLfFile(const std::string& path, const std::string& text);
// The same for a test's own fixture: a file that cannot be written is a failure of the running test.
void PutFile(const std::string& path, const std::string& bytes);

// The whole file (it may be open elsewhere for writing); false when it cannot be opened or read.
bool ReadFileBytes(const std::string& path, std::string* bytes);
// The whole file, or whenMissing when it cannot be read (so that an empty file and no file differ).
std::string FileBytes(const std::string& path, const std::string& whenMissing = "<missing>");

bool PathExists(const std::string& path);  // a file or a folder
bool FileExists(const std::string& path);  // a file, not a folder
bool DirExists(const std::string& path);   // a folder

// The folder with everything in it (read-only files too); a missing folder is fine.
void RemoveTree(const std::string& path);

// The folder of the running test program, ending with '\'.
std::string ExeFolder();

}  // namespace quarn_test
