#include "base/private_folder_win.h"

#include <windows.h>

#include <sddl.h>
#include <stdio.h>
#include <string.h>

#include "base/scoped_handle_win.h"
#include "base/text.h"

namespace {

// Protected (no inherited entries), full control for Administrators and SYSTEM, inherited by files and
// subfolders made in it.
const char kPrivateDacl[] = "D:P(A;OICI;FA;;;BA)(A;OICI;FA;;;SY)";

bool MakeFolder(const char* path) {
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (!ConvertStringSecurityDescriptorToSecurityDescriptorA(kPrivateDacl, SDDL_REVISION_1, &descriptor, nullptr)) {
    return false;
  }
  SECURITY_ATTRIBUTES attributes = {sizeof attributes, descriptor, FALSE};
  // Fails for a folder that exists already, whoever made it: only a folder made here is used.
  const bool made = CreateDirectoryA(path, &attributes) != FALSE;
  LocalFree(descriptor);
  return made;
}

}  // namespace

bool CreatePrivateFolder(char* out, size_t outSize) {
  if (outSize > 0) out[0] = '\0';
  char temp[MAX_PATH + 1];
  const DWORD n = GetTempPathA(sizeof temp, temp);
  if (n == 0 || n >= sizeof temp) return false;
  LARGE_INTEGER counter;
  QueryPerformanceCounter(&counter);
  for (unsigned attempt = 0; attempt < 16; ++attempt) {
    char path[MAX_PATH + 64];
    snprintf(path, sizeof path, "%sQuarnVerified-%lu-%llx\\", temp, static_cast<unsigned long>(GetCurrentProcessId()),
             static_cast<unsigned long long>(counter.QuadPart) + attempt);
    if (strlen(path) >= outSize) return false;
    if (MakeFolder(path)) {
      CopyText(out, outSize, path);
      return true;
    }
  }
  return false;
}

bool WritePrivateFile(const char* folder, const char* relativePath, const char* data, size_t size) {
  char path[MAX_PATH + 1];
  if (!CopyText(path, sizeof path, folder) || !AppendText(path, sizeof path, relativePath)) return false;
  const char* slash = strchr(relativePath, '\\');
  if (slash != nullptr) {
    char sub[MAX_PATH + 1];
    CopyText(sub, sizeof sub, path);
    sub[strlen(folder) + static_cast<size_t>(slash - relativePath)] = '\0';
    // The subfolder is made once per disc; made already (a second list of the same disc never comes) is
    // fine, since nobody else may write into the folder.
    if (!CreateDirectoryA(sub, nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) return false;
  }
  ScopedFile file(CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return false;
  DWORD written = 0;
  const bool whole = size <= MAXDWORD &&
                     WriteFile(file.get(), data, static_cast<DWORD>(size), &written, nullptr) != FALSE &&
                     written == size && FlushFileBuffers(file.get()) != FALSE;
  file.reset();
  if (!whole) DeleteFileA(path);
  return whole;
}

void RemovePrivateFolder(const char* folder) {
  if (folder == nullptr || folder[0] == '\0') return;
  char pattern[MAX_PATH + 1];
  if (!CopyText(pattern, sizeof pattern, folder) || !AppendText(pattern, sizeof pattern, "*")) return;
  WIN32_FIND_DATAA found;
  ScopedFind find(FindFirstFileA(pattern, &found));
  if (find) {
    do {
      if (strcmp(found.cFileName, ".") == 0 || strcmp(found.cFileName, "..") == 0) continue;
      char path[MAX_PATH + 1];
      if (!CopyText(path, sizeof path, folder) || !AppendText(path, sizeof path, found.cFileName)) continue;
      if ((found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
        // Removed as the link it is, never followed.
        if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) RemoveDirectoryA(path); else DeleteFileA(path);
      } else if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        AppendText(path, sizeof path, "\\");
        RemovePrivateFolder(path);
      } else {
        DeleteFileA(path);
      }
    } while (FindNextFileA(find.get(), &found));
  }
  find.reset();
  RemoveDirectoryA(folder);
}
