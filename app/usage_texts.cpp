#include "app/usage_texts.h"

#include "base/text.h"
#include "res/resource.h"

int CommandLineErrorTextId(CommandLineError error) {
  switch (error) {
    case CommandLineError::kNone:
      return 0;
    case CommandLineError::kUnknownSwitch:
      return IDS_CMD_UNKNOWN_SWITCH;
    case CommandLineError::kMissingValue:
      return IDS_CMD_MISSING_VALUE;
    case CommandLineError::kUnexpectedValue:
      return IDS_CMD_UNEXPECTED_VALUE;
    case CommandLineError::kBadDrive:
      return IDS_CMD_BAD_DRIVE;
    case CommandLineError::kUnknownPart:
      return IDS_CMD_UNKNOWN_PART;
    case CommandLineError::kPartNotOffered:
      return IDS_CMD_PART_NOT_OFFERED;
    case CommandLineError::kRepeated:
      return IDS_CMD_REPEATED;
    case CommandLineError::kTooLong:
      return IDS_CMD_TOO_LONG;
    case CommandLineError::kConflict:
      return IDS_CMD_CONFLICT;
  }
  return 0;
}

std::string CommandLineErrorText(const CommandLine& line, const char* format) {
  return FillText(format, {line.errorToken});
}

std::string UninstallQuestion(const char* format, const char* systemName) {
  return FillText(format, {systemName != nullptr ? systemName : ""});
}

std::string UninstallDoneText(const char* doneText, const char* keptText, const std::vector<std::string>& keptFiles) {
  if (keptFiles.empty()) return doneText != nullptr ? doneText : "";
  std::string text = keptText != nullptr ? keptText : "";
  // A box shows a screenful; the log has them all.
  const size_t shown = keptFiles.size() < 20 ? keptFiles.size() : 20;
  for (size_t i = 0; i < shown; ++i) text += "\n" + keptFiles[i];
  if (shown < keptFiles.size()) text += "\n...";
  return text;
}
