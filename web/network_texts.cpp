#include "web/network_texts.h"

#include <string>

#include "base/text.h"
#include "web/space_check.h"

void FormatRetryStatus(const char* format, int attempt, int maxAttempts, uint32_t secondsLeft, const char* what,
                       char* text, size_t textSize) {
  const std::string head =
      FillText(format, {std::to_string(attempt), std::to_string(maxAttempts), std::to_string(secondsLeft)});
  CopyText(text, textSize, head.c_str());
  AppendText(text, textSize, what != nullptr ? what : "");
}

void FormatSpaceShortage(const char* format, char drive, uint64_t neededBytes, uint64_t freeBytes, char* text,
                         size_t textSize) {
  const char letter[3] = {drive, ':', '\0'};
  const std::string filled = FillText(
      format, {letter, std::to_string(MegabytesUp(neededBytes)), std::to_string(MegabytesDown(freeBytes))});
  CopyText(text, textSize, filled.c_str());
}

void FormatFileFailed(const char* format, const char* serverName, char* text, size_t textSize) {
  if (textSize == 0) return;
  std::string name = serverName != nullptr ? serverName : "";
  // Room for the name is what the sentence around it leaves.
  const size_t fixed = FillText(format, {""}).size();
  const size_t room = textSize - 1 > fixed ? textSize - 1 - fixed : 0;
  if (name.size() > room) name.resize(room);
  CopyText(text, textSize, FillText(format, {name}).c_str());
}
