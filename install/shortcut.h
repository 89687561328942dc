// The desktop shortcut as data: where the link goes and what it points to.
#pragma once
#include <cstddef>

#include "layout/description.h"
#include "layout/install_layout.h"

constexpr size_t kLinkPathSize = 512;

struct ShortcutPlan {
  char linkPath[kLinkPathSize];      // desktop + "\" + name + ".lnk"
  char targetPath[kTextSize];        // working folder + "\QuarnWin32.exe"
  char workingFolder[kTextSize];     // "X:\root\QuarnWin32"
};

// The link name rule is IsPlainLinkName (layout/name_rules.h).

// Fills plan for group name `name`, the desktop folder and the run's program folder ("X:\root\QuarnWin32\").
// False when the name is not a plain link name, the program folder is empty or a path does not fit: no
// shortcut is made then.
bool PlanDesktopShortcut(const char* desktopFolder, const char* programFolder, const char* name,
                         ShortcutPlan* plan);
