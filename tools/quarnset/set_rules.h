// The rules a set must keep so that the installer downloads and installs it as the maker means it.
// They run on a SetModel, so `build` applies them to a manifest before writing anything, and `check`
// applies them to what a published tree or a live server holds.
#pragma once

#include "findings.h"
#include "set_model.h"

namespace quarnset {

void CheckSet(const SetModel& set, const Limits& limits, Findings* findings);

// Value rules of the description files: not starting with '*', no blanks at either end, no control
// characters, not enclosed in quotes, at most 255 characters in its key line. `required` reports an empty
// value too.
void CheckValue(const Value& value, const std::string& key, bool required, Findings* findings);

// Whether a path (beginning with a backslash) stays inside its folder and holds only characters a
// Windows path may hold; *why says what is wrong.
bool IsSafeRelativePath(const std::string& path, std::string* why);

}  // namespace quarnset
