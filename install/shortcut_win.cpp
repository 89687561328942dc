// The desktop shortcut to the installed system, named after the program group that the Program Manager
// commands create, so that the shortcut and the group carry the same name.
#include "install/shortcut_win.h"

#include <objbase.h>
#include <shlobj.h>

#include <string>

#include "base/install_log_win.h"
#include "base/text.h"
#include "install/description_win.h"
#include "install/shortcut.h"
#include "install/uninstall_record_win.h"
#include "layout/description.h"
#include "state/install_state_win.h"

namespace {

// The commands are read into a 260-byte buffer, a little more than other values: a group command carries
// its brackets around the name.
constexpr size_t kCommandSize = 260;

// COM for one operation on the calling thread. Uninitialises only what it initialised: when the thread
// already runs in another apartment model, CoInitialize fails and must not be balanced.
class ComScope {
 public:
  ComScope() : initialised_(SUCCEEDED(CoInitialize(nullptr))) {}
  ~ComScope() {
    if (initialised_) CoUninitialize();
  }
  ComScope(const ComScope&) = delete;
  ComScope& operator=(const ComScope&) = delete;

 private:
  bool initialised_;
};

// Releases a COM interface at the end of its scope.
template <typename T>
class ComRef {
 public:
  ComRef() = default;
  ~ComRef() {
    if (p_) p_->Release();
  }
  ComRef(const ComRef&) = delete;
  ComRef& operator=(const ComRef&) = delete;
  T* get() const { return p_; }
  T* operator->() const { return p_; }
  void** out() { return reinterpret_cast<void**>(&p_); }

 private:
  T* p_ = nullptr;
};

}  // namespace

bool FindGroupName(const char* iniPath, char* name, int size) {
  if (size <= 0) return false;
  name[0] = '\0';
  for (int n = 1;; ++n) {
    char command[kCommandSize];
    if (!ReadProfileValue(iniPath, "Command", NumberedKey("Command", n).c_str(), command, sizeof command)) {
      return false;
    }
    std::string group;
    switch (ParseGroupCommand(command, &group)) {
      case GroupCommand::kNotCreateGroup:
        continue;
      case GroupCommand::kNoName:
        return false;  // the first group command decides, even a malformed one
      case GroupCommand::kNamed:
        CopyText(name, static_cast<size_t>(size), group.c_str());
        return true;
    }
  }
}

void CreateDesktopShortcut() {
  char name[kTextSize];
  if (!FindGroupName(g_state.paths.descriptionPath, name, sizeof name)) return;

  char desktop[MAX_PATH];
  if (FAILED(SHGetFolderPathA(nullptr, CSIDL_DESKTOP, nullptr, SHGFP_TYPE_CURRENT, desktop))) return;

  ShortcutPlan plan;
  if (!PlanDesktopShortcut(desktop, g_state.paths.programFolder, name, &plan)) return;
  const bool made = CreateShellLink(plan.targetPath, name, plan.workingFolder, plan.linkPath);
  LogEvent("shortcut %s -> %s: %s", plan.linkPath, plan.targetPath, made ? "made" : "not made");
  if (made) RecordShortcut(plan.linkPath);
}

bool CreateShellLink(const char* targetPath, const char* description, const char* workingFolder,
                     const char* linkPath) {
  // COM lives only for this call: the worker thread does nothing else with it.
  ComScope com;
  ComRef<IShellLinkA> link;
  if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_ALL, IID_IShellLinkA, link.out()))) return false;

  link->SetPath(targetPath);
  link->SetDescription(description);
  link->SetIconLocation(targetPath, 0);  // the program's first icon
  link->SetWorkingDirectory(workingFolder);

  ComRef<IPersistFile> file;
  if (FAILED(link->QueryInterface(IID_IPersistFile, file.out()))) return false;

  WCHAR widePath[MAX_PATH + 1];
  if (MultiByteToWideChar(CP_ACP, 0, linkPath, -1, widePath, MAX_PATH + 1) == 0) return false;
  // An existing link of the same name is replaced. Only a saved link counts as success.
  return SUCCEEDED(file->Save(widePath, TRUE));
}
