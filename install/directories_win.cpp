// Creating the system's folders from the list in section Directorys of the staged description.
#include "install/directories_win.h"

#include <cstdio>

#include "install/description_win.h"
#include "install/uninstall_record_win.h"
#include "layout/install_layout.h"
#include "state/install_state_win.h"

namespace {

// After a failed CreateDirectoryA: "already exists" counts only when it is a folder, not a file.
bool IsExistingFolder(const char* path) {
  if (GetLastError() != ERROR_ALREADY_EXISTS) return false;
  DWORD attributes = GetFileAttributesA(path);
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

}  // namespace

void CreateSystemDirectories() {
  const char* root = g_state.paths.rootFolder;
  if (root[0] == '\0') return;
  // Every result is ignored: an existing folder is fine, and a folder that could not be made shows up
  // later as copy errors.
  if (CreateDirectoryA(root, nullptr)) RecordCreatedFolder(root);
  // An empty path would make the profile reader look for a file in the Windows folder.
  if (g_state.paths.descriptionPath[0] == '\0') return;
  for (int n = 1;; ++n) {
    char key[16];
    snprintf(key, sizeof key, "Dir%i", n);
    char value[kTextSize];
    if (!ReadDescriptionValue("Directorys", key, value, sizeof value)) break;  // ends at the first gap
    // One level per entry: the list names parents before children. A value that would leave the root
    // folder or not fit into the path is skipped, like any other folder that cannot be made.
    char path[kTextSize];
    if (BuildSubfolderPath(root, value, path, sizeof path) && CreateDirectoryA(path, nullptr)) {
      RecordCreatedFolder(path);
    }
  }
}

bool CreateStagingFolders() {
  // Root folder, program folder, staging folder: each one level below the one before.
  const char* const folders[] = {g_state.paths.rootFolder, g_state.paths.programFolder, g_state.paths.stagingFolder};
  for (const char* path : folders) {
    if (path[0] == '\0') return false;  // no folders filled for this run
    if (CreateDirectoryA(path, nullptr)) {
      RecordCreatedFolder(path);
    } else if (!IsExistingFolder(path)) {
      return false;
    }
  }
  return true;
}
