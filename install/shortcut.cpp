#include "install/shortcut.h"

#include <cstring>

#include "base/text.h"
#include "install/registry.h"

bool IsPlainLinkName(const char* name) {
  if (name[0] == '\0' || strcmp(name, ".") == 0 || strcmp(name, "..") == 0) return false;
  return strpbrk(name, "\\/:") == nullptr;
}

bool PlanDesktopShortcut(const char* desktopFolder, int drive, const char* rootName, const char* name,
                         ShortcutPlan* plan) {
  if (!IsPlainLinkName(name)) return false;
  return CopyText(plan->linkPath, sizeof plan->linkPath, desktopFolder) &&
         AppendText(plan->linkPath, sizeof plan->linkPath, "\\") &&
         AppendText(plan->linkPath, sizeof plan->linkPath, name) &&
         AppendText(plan->linkPath, sizeof plan->linkPath, ".lnk") &&
         BuildRootFolder(drive, rootName, plan->workingFolder, sizeof plan->workingFolder) &&
         AppendText(plan->workingFolder, sizeof plan->workingFolder, "\\QuarnWin32") &&
         CopyText(plan->targetPath, sizeof plan->targetPath, plan->workingFolder) &&
         AppendText(plan->targetPath, sizeof plan->targetPath, "\\QuarnWin32.exe");
}
