// The desktop shortcut's plan: the link named after the group points at the installed program; a name that
// would leave the desktop makes no link.
#include <gtest/gtest.h>

#include <string>

#include "install/shortcut.h"

TEST(DesktopShortcut, LinkNamedAfterTheGroupPointsAtTheProgram) {
  ShortcutPlan p;
  ASSERT_TRUE(PlanDesktopShortcut("C:\\users\\u\\Desktop", "T:\\V92Demo\\QuarnWin32\\", "QuarnCAD Demo,1", &p));
  EXPECT_STREQ(p.linkPath, "C:\\users\\u\\Desktop\\QuarnCAD Demo,1.lnk");
  EXPECT_STREQ(p.workingFolder, "T:\\V92Demo\\QuarnWin32");
  EXPECT_STREQ(p.targetPath, "T:\\V92Demo\\QuarnWin32\\QuarnWin32.exe");
}

TEST(DesktopShortcut, RefusesNamesThatLeaveTheDesktop) {
  struct Case {
    const char* name;
    bool ok;
  } cases[] = {
      {"QuarnCAD", true},       {"Quarn CAD 9.2, 1", true}, {"..Quarn", true},
      {"", false},              {".", false},               {"..", false},
      {"..\\Startup\\Q", false}, {"a/b", false},             {"Quarn: Demo", false},
  };
  for (const Case& c : cases) {
    ShortcutPlan p;
    EXPECT_EQ(IsPlainLinkName(c.name), c.ok) << c.name;
    EXPECT_EQ(PlanDesktopShortcut("C:\\D", "C:\\R\\QuarnWin32\\", c.name, &p), c.ok) << c.name;
  }
  ShortcutPlan p;
  // The program folder at the buffer's limit leaves no room for the program's name.
  EXPECT_FALSE(PlanDesktopShortcut("C:\\D", ("C:\\" + std::string(240, 'r') + "\\QuarnWin32\\").c_str(), "Q", &p));
  EXPECT_FALSE(PlanDesktopShortcut("C:\\D", "", "Q", &p));
}
