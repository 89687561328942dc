#include "install/file_types.h"

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
}  // namespace

int PlanFileTypeWrites(const char* programFolder, const char* extension, const char* className,
                       const char* exeFile, const char* iconFile, DefaultValueWrite out[kMaxFileTypeWrites]) {
  int n = 0;
  if (Plan(&out[n], extension, "", className, "")) ++n;
  // The class's own default value is its name, not a separate description.
  if (Plan(&out[n], className, "", className, "")) ++n;
  if (exeFile == nullptr) return n;
  // The command is the installed folder joined with the value unchanged: any arguments are part of it.
  if (Plan(&out[n], className, "\\Shell\\Open\\Command", programFolder, exeFile)) ++n;
  if (iconFile == nullptr) return n;
  if (Plan(&out[n], className, "\\DefaultIcon", programFolder, iconFile)) ++n;
  return n;
}
