// The rules that keep every name taken from a set or a server inside its folder.
#include "layout/name_rules.h"

#include <cstring>

namespace {

bool IsSeparator(char c) { return c == '\\' || c == '/'; }
bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// Counts the dots of a segment [begin, end) made of dots and blanks only; -1 for any other segment.
// Win32 path normalisation drops trailing dots and blanks of a segment, so such a segment acts like "."
// (one dot) or ".." (two or more), and one of blanks only like nothing at all.
int DotsOfDotsOnlySegment(const char* begin, const char* end) {
  int dots = 0;
  for (const char* p = begin; p < end; ++p) {
    if (*p == '.') {
      ++dots;
    } else if (*p != ' ') {
      return -1;
    }
  }
  return dots;
}


char Upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

// True when the element [begin, end) opens a device: its name before the first dot, trailing blanks
// dropped, is one of the names Windows reserves in every folder. COM and LPT take a digit 0..9 or the
// superscripts 1, 2 and 3 (code page 1250: 0xB9, 0xB2, 0xB3), which Windows also reads as their digits.
bool IsDeviceElement(const char* begin, const char* end) {
  const char* stem = begin;
  while (stem < end && *stem != '.') ++stem;
  while (stem > begin && (stem[-1] == ' ' || stem[-1] == '\t')) --stem;
  const size_t length = static_cast<size_t>(stem - begin);
  char name[8];
  if (length < 3 || length > 7) return false;
  for (size_t i = 0; i < length; ++i) name[i] = Upper(begin[i]);
  name[length] = '\0';
  static const char* const kPlain[] = {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$", "CLOCK$"};
  for (const char* device : kPlain) {
    if (strcmp(name, device) == 0) return true;
  }
  if (length == 4 && (strncmp(name, "COM", 3) == 0 || strncmp(name, "LPT", 3) == 0)) {
    const unsigned char n = static_cast<unsigned char>(name[3]);
    return (n >= '0' && n <= '9') || n == 0xB9 || n == 0xB2 || n == 0xB3;
  }
  return false;
}

}  // namespace

bool IsDotsSegment(const char* begin, const char* end) { return DotsOfDotsOnlySegment(begin, end) >= 1; }

// ---- Rules

bool ContainsParentSegment(const char* path) {
  if (path == nullptr) return false;
  const char* segment = path;
  for (const char* p = path;; ++p) {
    if (*p == '\0' || IsSeparator(*p)) {
      if (DotsOfDotsOnlySegment(segment, p) >= 2) return true;
      if (*p == '\0') return false;
      segment = p + 1;
    }
  }
}

bool HoldsSpecialWindowsName(const char* path) {
  if (path == nullptr) return false;
  const char* element = path;
  for (const char* p = path;; ++p) {
    if (*p == ':') return true;
    if (*p == '\0' || IsSeparator(*p)) {
      if (p > element && DotsOfDotsOnlySegment(element, p) < 0) {
        if (p[-1] == '.' || IsBlank(p[-1]) || IsDeviceElement(element, p)) return true;
      }
      if (*p == '\0') return false;
      element = p + 1;
    }
  }
}

bool IsPlainFolderName(const char* name) {
  if (name[0] == '\0') return false;
  for (const char* p = name; *p; ++p) {
    if (IsSeparator(*p) || *p == ':') return false;
  }
  return !IsDotsSegment(name, name + strlen(name)) && !HoldsSpecialWindowsName(name);
}

bool IsServerRootName(const char* value) {
  return value[0] != '*' && IsSafeServerName(value) && strchr(value, '\\') == nullptr;
}

bool IsSafeServerName(const char* name) {
  if (name[0] == '\0') return false;
  const char* component = name;
  for (const char* p = name;; ++p) {
    unsigned char c = static_cast<unsigned char>(*p);
    if (c == '\\' || c == '\0') {
      // The component [component, p): not empty, and not only dots and blanks (blanks alone included).
      if (p == component || DotsOfDotsOnlySegment(component, p) >= 0) return false;
      if (c == '\0') break;
      component = p + 1;
      continue;
    }
    if (c < 0x20 || strchr(":/*?\"<>|", c) != nullptr) return false;
  }
  return !HoldsSpecialWindowsName(name);
}

bool IsFontFileInsideFontsFolder(const char* fontFile) {
  if (fontFile[0] == '\0' || IsSeparator(fontFile[0])) return false;
  if (strchr(fontFile, ':') != nullptr) return false;
  return !ContainsParentSegment(fontFile) && !HoldsSpecialWindowsName(fontFile);
}

bool IsPlainLinkName(const char* name) {
  if (name[0] == '\0' || strcmp(name, ".") == 0 || strcmp(name, "..") == 0) return false;
  // The link's file is name + ".lnk": "CON" would make "CON.lnk", which is the console device. A trailing
  // dot or blank of the name is harmless there ("Kft." gives "Kft..lnk").
  if (strpbrk(name, "\\/:") != nullptr) return false;
  return !HoldsSpecialWindowsName((std::string(name) + ".lnk").c_str());
}

bool LeavesProgramManagerFolder(const std::string& command) {
  // Where a name or a path component can begin: after "(", ",", a quote or a separator, blanks skipped.
  bool atStart = false;
  for (size_t i = 0; i < command.size(); ++i) {
    const char c = command[i];
    if (atStart && c == '.' && i + 1 < command.size() && command[i + 1] == '.') return true;
    if (c == '(' || c == ',' || c == '"' || IsSeparator(c)) {
      atStart = true;
    } else if (!IsBlank(c)) {
      atStart = false;
    }
  }
  return false;
}
