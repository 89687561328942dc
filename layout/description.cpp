#include "layout/description.h"

#include <cstdio>
#include <cstring>

#include "base/text.h"

const char* const kPartNames[kPartCount] = {"Setup", "Systems", "Drawings", "Blocks",
                                            "Projects", "Datas",   "Help"};

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

void AppendN(std::string* out, const char* text) { out->append(text ? text : ""); }

}  // namespace

bool IsAbsentValue(const char* value) { return value == nullptr || value[0] == '*'; }

int32_t ParseDescriptionNumber(const char* text) {
  if (text == nullptr) return 0;
  const char* p = text;
  while (IsBlank(*p)) ++p;
  bool negative = false;
  if (*p == '+' || *p == '-') {
    negative = *p == '-';
    ++p;
  }
  // Accumulate in 64 bits and stop growing once past the 32-bit range, so long digit runs cannot overflow.
  int64_t value = 0;
  constexpr int64_t kLimit = int64_t{INT32_MAX} + 1;
  for (; *p >= '0' && *p <= '9'; ++p) {
    if (value <= kLimit) value = value * 10 + (*p - '0');
  }
  if (negative) {
    value = -value;
    return value < INT32_MIN ? INT32_MIN : static_cast<int32_t>(value);
  }
  return value > INT32_MAX ? INT32_MAX : static_cast<int32_t>(value);
}

std::string DiscSectionName(int disc) {
  char b[32];
  snprintf(b, sizeof b, "Disc%02d", disc);
  return b;
}

std::string DiscFolderName(int disc) {
  char b[32];
  snprintf(b, sizeof b, "Disc_%02d", disc);
  return b;
}

std::string FileListName(int disc) {
  char b[32];
  snprintf(b, sizeof b, "Fajls_%d.ini", disc);
  return b;
}

std::string NumberedKey(const char* stem, int n) { return std::string(stem) + std::to_string(n); }

FileLineStatus ParseFileLine(const char* line, FileEntry* entry) {
  memset(entry, 0, sizeof *entry);
  entry->policy = ReplacePolicy::kReplace;
  entry->base = TargetBase::kRoot;
  if (line == nullptr) return FileLineStatus::kMalformed;

  // Source: up to the first blank or comma, which is the separator and is dropped.
  const char* p = line;
  while (*p != '\0' && !IsBlank(*p) && *p != ',') ++p;
  const size_t sourceLength = static_cast<size_t>(p - line);
  if (*p == '\0' || sourceLength == 0 || sourceLength >= sizeof entry->source) {
    return FileLineStatus::kMalformed;
  }
  memcpy(entry->source, line, sourceLength);
  entry->source[sourceLength] = '\0';
  ++p;
  while (IsBlank(*p)) ++p;

  // Everything after the separator and its blanks is the target code.
  if (!CopyText(entry->targetCode, sizeof entry->targetCode, p)) {
    entry->targetCode[0] = '\0';
    return FileLineStatus::kMalformed;
  }

  // Modifiers: "*?" ask (unless keep), "*-" keep, "*%" Windows folder. Any other character after a star
  // ends the list and stays as the first character of the target path.
  bool badModifier = false;
  while (*p == '*') {
    const char m = p[1];
    if (m == '?') {
      if (entry->policy != ReplacePolicy::kKeep) entry->policy = ReplacePolicy::kAsk;
    } else if (m == '-') {
      entry->policy = ReplacePolicy::kKeep;
    } else if (m == '%') {
      entry->base = TargetBase::kWindowsFolder;
    } else {
      badModifier = true;
      ++p;  // the star is consumed; the unknown character is not
      break;
    }
    p += 2;
  }
  CopyText(entry->targetPath, sizeof entry->targetPath, p);  // fits: it is a tail of targetCode
  if (entry->targetPath[0] == '\0') return FileLineStatus::kMalformed;
  if (ContainsParentSegment(entry->source) || ContainsParentSegment(entry->targetPath) ||
      HoldsSpecialWindowsName(entry->source) || HoldsSpecialWindowsName(entry->targetPath)) {
    return FileLineStatus::kUnsafePath;
  }
  return badModifier ? FileLineStatus::kBadModifier : FileLineStatus::kOk;
}

bool IsHelpViewerCommand(const char* command) {
  return command != nullptr && (strstr(command, "WinHlp32.exe") != nullptr || strstr(command, "hh.exe") != nullptr);
}

std::string PrepareProgramManagerCommand(const char* command, const char* rootFolder,
                                         const char* windowsFolder) {
  std::string out;
  if (command == nullptr) return out;
  const bool help = IsHelpViewerCommand(command);
  for (const char* p = command; *p != '\0'; ++p) {
    if (*p == '#') {
      AppendN(&out, rootFolder);
    } else if (help && p[0] == '%' && p[1] == 's') {
      AppendN(&out, windowsFolder);
      ++p;
    } else if (help && p[0] == '%' && p[1] == '%') {
      out += '%';
      ++p;
    } else {
      out += *p;
    }
  }
  return out;
}

GroupCommand ParseGroupCommand(const char* command, std::string* name) {
  static const char kPrefix[] = "[CreateGroup(";
  if (command == nullptr || !StartsWith(command, kPrefix)) return GroupCommand::kNotCreateGroup;
  const char* begin = command + sizeof kPrefix - 1;
  const char* end = strstr(begin, ")]");
  if (end == nullptr || end == begin) return GroupCommand::kNoName;
  if (name) name->assign(begin, end);
  return GroupCommand::kNamed;
}
