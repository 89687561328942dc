#include "install/file_types.h"

#include <cstring>

#include "base/text.h"

namespace {
constexpr const char* kClassesKey = "Software\\Classes\\";

bool Plan(DefaultValueWrite* w, const char* keyName, const char* keySuffix, const char* textHead,
          const char* textTail) {
  return CopyText(w->keyPath, sizeof w->keyPath, kClassesKey) &&
         AppendText(w->keyPath, sizeof w->keyPath, keyName) &&
         AppendText(w->keyPath, sizeof w->keyPath, keySuffix) &&
         CopyText(w->text, sizeof w->text, textHead) && AppendText(w->text, sizeof w->text, textTail);
}
// True when the open command must quote the program's path: the folder holds a blank (and exeFile does not
// begin with a quote of its own).
bool OpenCommandNeedsQuotes(const char* programFolder, const char* exeFile) {
  return strchr(programFolder, ' ') != nullptr && exeFile[0] != '"';
}

}  // namespace

int PlanFileTypeWrites(const char* programFolder, const char* extension, const char* className,
                       const char* exeFile, const char* iconFile, DefaultValueWrite out[kMaxFileTypeWrites]) {
  int n = 0;
  if (Plan(&out[n], extension, "", className, "")) ++n;
  // The class's own default value is its name, not a separate description.
  if (Plan(&out[n], className, "", className, "")) ++n;
  if (exeFile == nullptr) return n;
  // The command is the installed folder joined with the value unchanged: any arguments are part of it.
  if (OpenCommandNeedsQuotes(programFolder, exeFile)) {
    // The shell would split the program's path at the root folder's blank: the path is quoted. The
    // program's name ends at the value's first blank (installed file names hold none: the file list
    // separates its names by a blank); the arguments after it stay as they are.
    const char* blank = strchr(exeFile, ' ');
    size_t nameLength = blank != nullptr ? static_cast<size_t>(blank - exeFile) : strlen(exeFile);
    char name[kTextSize];
    char head[kTextSize];
    if (nameLength < sizeof name) {
      memcpy(name, exeFile, nameLength);
      name[nameLength] = '\0';
      if (CopyText(head, sizeof head, "\"") && AppendText(head, sizeof head, programFolder) &&
          AppendText(head, sizeof head, name) && AppendText(head, sizeof head, "\"") &&
          Plan(&out[n], className, "\\Shell\\Open\\Command", head, exeFile + nameLength)) {
        ++n;
      }
    }
  } else if (Plan(&out[n], className, "\\Shell\\Open\\Command", programFolder, exeFile)) {
    ++n;
  }
  if (iconFile == nullptr) return n;
  if (Plan(&out[n], className, "\\DefaultIcon", programFolder, iconFile)) ++n;
  return n;
}
