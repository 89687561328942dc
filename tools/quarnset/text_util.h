// Small text helpers for quarnset (byte strings; case folding is ASCII only, like the installer's names).
#pragma once

#include <string>
#include <vector>

namespace quarnset {

bool EqualsIgnoringCase(const std::string& a, const std::string& b);
std::string ToLowerAscii(std::string s);
bool StartsWith(const std::string& s, const std::string& prefix);
bool EndsWith(const std::string& s, const std::string& suffix);
std::string TrimBlanks(const std::string& s);  // blanks and tabs at both ends
// Splits at every occurrence of the separator (no trimming).
std::vector<std::string> SplitAll(const std::string& s, const std::string& separator);
// Shows a value for a message: code page 1250 converted to UTF-8, in double quotes, control bytes escaped.
std::string Quote(const std::string& cp1250);

}  // namespace quarnset
