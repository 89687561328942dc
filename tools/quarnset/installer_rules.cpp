// quarnset's window on the installer's own portable readers (web/ and install/): the same code that reads
// a set in the installer judges it here.
#include "installer_rules.h"

#include <atomic>

#include "layout/description.h"
#include "web/ini_lookup.h"
#include "web/probe.h"
#include "layout/server_layout.h"

namespace quarnset::installer {

bool ServerLookup(const std::string& text, const std::string& section, const std::string& key,
                  std::string* value) {
  char buffer[kTextSize];
  // The installer reads files whole into memory; larger texts are not description files.
  const int size = text.size() > 0x7FFFFFFF ? 0x7FFFFFFF : static_cast<int>(text.size());
  const bool found = FindIniValue(section.c_str(), key.c_str(), buffer, sizeof buffer, text.data(), size);
  *value = buffer;
  return found;
}

FileLine ParseFileLine(const std::string& value) {
  FileEntry entry;
  const FileLineStatus status = ::ParseFileLine(value.c_str(), &entry);
  FileLine out;
  out.wellFormed = status != FileLineStatus::kMalformed;
  out.source = entry.source;
  out.targetCode = entry.targetCode;
  out.policy = entry.policy == ::ReplacePolicy::kAsk    ? ReplacePolicy::Ask
               : entry.policy == ::ReplacePolicy::kKeep ? ReplacePolicy::Keep
                                                        : ReplacePolicy::Replace;
  out.windowsFolder = entry.base == TargetBase::kWindowsFolder;
  out.invalidModifier = status == FileLineStatus::kBadModifier;
  out.invalidModifierChar = out.invalidModifier ? entry.targetPath[0] : '\0';
  out.unsafePath = status == FileLineStatus::kUnsafePath;
  out.targetPath = entry.targetPath;
  return out;
}

std::string ServerNameOf(const std::string& value) {
  char name[kTextSize];
  if (!FormServerName(value.c_str(), name, sizeof name)) return std::string();
  return name;
}

bool IsFillerName(const std::string& serverName) {
  return ::IsFillerName(serverName.c_str());
}

bool ProbeAccepts(const std::string& text) {
  const std::atomic<int32_t> noCancel{0};
  const int size = text.size() > 0x7FFFFFFF ? 0x7FFFFFFF : static_cast<int>(text.size());
  return ScanProbeText(text.data(), size, noCancel) == ProbeVerdict::kAccepted;
}

bool IsHelpCommand(const std::string& command) {
  return IsHelpViewerCommand(command.c_str());
}

std::string PreparedCommand(const std::string& command, const std::string& rootFolder, const std::string& windowsFolder) {
  return PrepareProgramManagerCommand(command.c_str(), rootFolder.c_str(), windowsFolder.c_str());
}

GroupName ReadGroupName(const std::string& command, std::string* name) {
  switch (ParseGroupCommand(command.c_str(), name)) {
    case GroupCommand::kNamed:
      return GroupName::Named;
    case GroupCommand::kNoName:
      return GroupName::Malformed;
    default:
      return GroupName::NotCreateGroup;
  }
}

int64_t ParseNumber(const std::string& text) {
  return ParseDescriptionNumber(text.c_str());
}

}  // namespace quarnset::installer
