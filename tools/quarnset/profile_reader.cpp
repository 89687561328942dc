#include "profile_reader.h"

#include <vector>

#include "text_util.h"

namespace quarnset {
namespace {

std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> lines;
  std::string cur;
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '\r' || c == '\n') {
      lines.push_back(cur);
      cur.clear();
      if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
    } else {
      cur.push_back(c);
    }
  }
  if (!cur.empty()) lines.push_back(cur);
  return lines;
}

}  // namespace

bool ProfileLookup(const std::string& text, const std::string& section, const std::string& key,
                   std::string* value) {
  bool inSection = false;
  bool seenSection = false;
  for (const std::string& raw : SplitLines(text)) {
    const std::string line = TrimBlanks(raw);
    if (!line.empty() && line[0] == '[') {
      // Only the first section of that name is read.
      if (inSection) return false;
      const size_t close = line.find(']');
      const std::string name = TrimBlanks(line.substr(1, close == std::string::npos ? std::string::npos : close - 1));
      inSection = !seenSection && EqualsIgnoringCase(name, section);
      if (inSection) seenSection = true;
      continue;
    }
    if (!inSection || line.empty() || line[0] == ';') continue;
    const size_t eq = line.find('=');
    if (eq == std::string::npos) continue;
    if (!EqualsIgnoringCase(TrimBlanks(line.substr(0, eq)), key)) continue;
    std::string v = TrimBlanks(line.substr(eq + 1));
    if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front())
      v = v.substr(1, v.size() - 2);
    if (v.size() > 255) v.resize(255);
    *value = v;
    return true;
  }
  return false;
}

}  // namespace quarnset
