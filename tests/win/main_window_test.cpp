// Start-up values read from the real environment.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "app/main_window_win.h"

namespace {
// Sets %windir% for one test and puts the prefix's own value back afterwards.
class WindirOverride {
 public:
  explicit WindirOverride(const char* value) {
    DWORD n = GetEnvironmentVariableA("windir", saved_, sizeof saved_);
    had_ = n > 0 && n < sizeof saved_;
    SetEnvironmentVariableA("windir", value);
  }
  ~WindirOverride() { SetEnvironmentVariableA("windir", had_ ? saved_ : nullptr); }

 private:
  char saved_[512] = "";
  bool had_ = false;
};

struct Guarded {
  char folder[80];
  char guard[32];
};
}  // namespace

TEST(StartupWindowsFolder, TakesWindirOrStaysEmptyWithoutOverrun) {
  const std::string len79 = "C:\\" + std::string(76, 'w'), len80 = len79 + "x";
  const std::string len300 = "C:\\" + std::string(297, 'l');
  struct Case {
    const char* value;  // nullptr: variable removed
    std::string want;
  } cases[] = {
      {"C:\\windows", "C:\\windows"},
      {"D:\\WINNT\\", "D:\\WINNT"},
      {len79.c_str(), len79},
      {len80.c_str(), ""},
      {len300.c_str(), ""},
      {nullptr, ""},
  };
  for (const Case& c : cases) {
    WindirOverride windir(c.value);
    Guarded g;
    memset(&g, 'x', sizeof g);
    LoadWindowsFolder(g.folder);
    EXPECT_EQ(std::string(g.folder), c.want) << (c.value ? c.value : "(unset)");
    for (char ch : g.guard) ASSERT_EQ(ch, 'x') << "overrun with " << (c.value ? c.value : "(unset)");
  }
}

TEST(StartupWindowsFolder, PrefixValue) {
  char folder[80];
  LoadWindowsFolder(folder);
  EXPECT_STRCASEEQ(folder, "C:\\windows");
}
