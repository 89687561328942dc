#include "install/shortcut.h"

#include <cstring>

#include "base/text.h"
#include "layout/install_layout.h"

bool PlanDesktopShortcut(const char* desktopFolder, const char* programFolder, const char* name,
                         ShortcutPlan* plan) {
  return BuildDesktopLinkPath(desktopFolder, name, plan->linkPath, sizeof plan->linkPath) &&
         BuildProgramFilePaths(programFolder, plan->workingFolder, sizeof plan->workingFolder, plan->targetPath,
                               sizeof plan->targetPath);
}
