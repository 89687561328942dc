// Registering the system's document types below HKEY_LOCAL_MACHINE\Software\Classes, so that the shell
// opens them with the installed programs and shows their icons. Write failures (no elevation) are
// ignored and the list goes on; the shell is not told about the change.
#include "install/file_types_win.h"

#include "install/description_win.h"
#include "install/file_types.h"
#include "install/registry.h"
#include "install/registry_win.h"
#include "layout/description.h"
#include "layout/install_layout.h"
#include "state/install_state_win.h"

namespace {

// Absent (missing or starting with '*') and empty values alike end the step or the list.
bool ReadNonEmptyValue(const char* section, const char* key, char* buffer, size_t size) {
  return ReadDescriptionValue(section, key, buffer, size) && buffer[0] != '\0';
}

bool ReadEntryValue(const char* name, int n, char* buffer, size_t size) {
  return ReadNonEmptyValue("RegistryCommand", NumberedKey(name, n).c_str(), buffer, size);
}

}  // namespace

void RegisterFileTypes() {
  const char* programFolder = g_state.paths.programFolder;
  if (programFolder[0] == '\0') return;
  for (int n = 1;; ++n) {
    char extension[kTextSize];
    char className[kTextSize];
    char exeFile[kTextSize];
    char iconFile[kTextSize];
    // The list ends at the first entry without an extension or a class name.
    if (!ReadEntryValue("FileType", n, extension, sizeof extension)) return;
    if (!ReadEntryValue("ClassName", n, className, sizeof className)) return;
    bool hasExe = ReadEntryValue("ExeFile", n, exeFile, sizeof exeFile);
    // An icon without an open command is not registered.
    bool hasIcon = hasExe && ReadEntryValue("IconFile", n, iconFile, sizeof iconFile);

    DefaultValueWrite writes[kMaxFileTypeWrites];
    int count = PlanFileTypeWrites(programFolder, extension, className, hasExe ? exeFile : nullptr,
                                   hasIcon ? iconFile : nullptr, writes);
    for (int i = 0; i < count; ++i) {
      WriteRegistryString(HKEY_LOCAL_MACHINE, writes[i].keyPath, nullptr, writes[i].text);
    }
  }
}
