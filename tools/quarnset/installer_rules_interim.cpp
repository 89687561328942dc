// Interim stand-ins for the installer's portable readers, used only until web/ini_lookup and
// install/description are on main; this file is then deleted and installer_rules.cpp calls the real ones.
#include <algorithm>
#include <cstring>

#include "installer_rules.h"

namespace quarnset::installer {
namespace {

constexpr size_t kLineMax = 255;

struct Line {
  size_t begin;
  size_t length;  // cut to 255
  bool ended;     // followed by CR LF
};

bool NextLine(const std::string& text, size_t* pos, Line* line) {
  if (*pos >= text.size()) return false;
  const size_t crlf = text.find("\r\n", *pos);
  line->begin = *pos;
  if (crlf == std::string::npos) {
    line->length = text.size() - *pos;
    line->ended = false;
    *pos = text.size();
  } else {
    line->length = crlf - *pos;
    line->ended = true;
    *pos = crlf + 2;
  }
  if (line->length > kLineMax) line->length = kLineMax;
  return true;
}

bool LineStartsWith(const std::string& text, const Line& line, const std::string& prefix) {
  return line.length >= prefix.size() && text.compare(line.begin, prefix.size(), prefix) == 0;
}

}  // namespace

bool ServerLookup(const std::string& text, const std::string& section, const std::string& key,
                  std::string* value) {
  *value = "*";
  const std::string header = "[" + section + "]";
  size_t pos = 0;
  Line line{};
  bool found = false;
  while (NextLine(text, &pos, &line)) {
    if (line.ended && LineStartsWith(text, line, header)) {
      found = true;
      break;
    }
  }
  if (!found) return false;
  if (key.empty()) return true;
  while (NextLine(text, &pos, &line)) {
    if (line.length > 0 && text[line.begin] == '[') return false;
    if (!LineStartsWith(text, line, key)) continue;
    const std::string l = text.substr(line.begin, line.length);
    const size_t eq = l.find('=', key.size());
    if (eq == std::string::npos) {
      value->clear();
      return true;
    }
    size_t v = eq + 1;
    if (v < l.size() && l[v] == ' ') ++v;
    *value = l.substr(v);
    return true;
  }
  return false;
}

FileLine ParseFileLine(const std::string& value) {
  FileLine out;
  const size_t end = value.find_first_of(" ,");
  if (end == std::string::npos || end == 0) return out;
  out.wellFormed = true;
  out.source = value.substr(0, end);
  size_t p = end + 1;
  while (p < value.size() && value[p] == ' ') ++p;
  out.targetCode = value.substr(p);
  while (p < value.size() && value[p] == '*') {
    const char c = p + 1 < value.size() ? value[p + 1] : '\0';
    if (c == '?') {
      if (out.policy != ReplacePolicy::Keep) out.policy = ReplacePolicy::Ask;
    } else if (c == '-') {
      out.policy = ReplacePolicy::Keep;
    } else if (c == '%') {
      out.windowsFolder = true;
    } else {
      out.invalidModifier = true;
      out.invalidModifierChar = c;
      ++p;  // the unrecognised character stays as the first character of the target path
      break;
    }
    p += 2;
  }
  out.targetPath = value.substr(std::min(p, value.size()));
  return out;
}

std::string ServerNameOf(const std::string& value) {
  size_t p = 0;
  while (p < value.size() && value[p] == ' ') ++p;
  if (p < value.size() && value[p] == '\\') ++p;
  const size_t end = value.find_first_of(" ,", p);
  return value.substr(p, end == std::string::npos ? std::string::npos : end - p);
}

bool IsFillerName(const std::string& serverName) {
  return serverName.find("ex_") != std::string::npos || serverName.find("dl_") != std::string::npos;
}

bool ProbeAccepts(const std::string& text) {
  size_t pos = 0;
  Line line{};
  bool header = false;
  while (NextLine(text, &pos, &line)) {
    if (!line.ended) return false;
    if (!header) {
      header = LineStartsWith(text, line, "QuarnCAD WEB update system: V9.21");
      if (header) continue;
    }
    if (header && LineStartsWith(text, line, "QuarnSoft Ltd. 1992-2019.")) return true;
  }
  return false;
}

int64_t ParseNumber(const std::string& text) {
  size_t p = 0;
  while (p < text.size() && (text[p] == ' ' || text[p] == '\t')) ++p;
  bool negative = false;
  if (p < text.size() && (text[p] == '+' || text[p] == '-')) negative = text[p++] == '-';
  int64_t v = 0;
  while (p < text.size() && text[p] >= '0' && text[p] <= '9' && v < (int64_t{1} << 40))
    v = v * 10 + (text[p++] - '0');
  return negative ? -v : v;
}

}  // namespace quarnset::installer
