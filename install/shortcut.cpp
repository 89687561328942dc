#include "install/shortcut.h"

#include <cstring>

#include "base/text.h"
#include "layout/install_layout.h"

bool PlanDesktopShortcut(const char* desktopFolder, int drive, const char* rootName, const char* name,
                         ShortcutPlan* plan) {
  return BuildDesktopLinkPath(desktopFolder, name, plan->linkPath, sizeof plan->linkPath) &&
         BuildProgramFilePaths(drive, rootName, plan->workingFolder, sizeof plan->workingFolder, plan->targetPath,
                               sizeof plan->targetPath);
}
