#include "install/launch.h"

#include "install/copy_paths.h"

std::string InstalledSystemCommandLine(int32_t targetDrive, const char* rootName) {
  if (targetDrive < 1 || targetDrive > 26 || rootName == nullptr) return std::string();
  return RootFolderOf(targetDrive, rootName) + "\\QuarnWin32\\QuarnWin32.exe";
}
