#include "web/network_texts.h"

#include <cinttypes>
#include <cstdio>

#include "base/text.h"
#include "web/space_check.h"

namespace {
const char kRetry[] = "\xfajrapr\xf3" "b\xe1l\xe1s ";                   // "újrapróbálás "
const char kSeconds[] = " mp";                                            // " mp" (seconds)
const char kNoSpace[] = "Nincs el\xe9g szabad hely a(z) ";               // "Nincs elég szabad hely a(z) "
const char kOnDrive[] = " meghajt\xf3n!\r\n";                            // " meghajtón!"
const char kNeeded[] = "A telep\xedt\xe9shez sz\xfcks\xe9ges: ";          // "A telepítéshez szükséges: "
const char kFree[] = " MB, szabad: ";                                     // " MB, szabad: "
}  // namespace

void FormatRetryStatus(int attempt, int maxAttempts, uint32_t secondsLeft, const char* what, char* text,
                       size_t textSize) {
  char head[64];
  if (secondsLeft > 0) {
    snprintf(head, sizeof head, "%s%d/%d ... (%" PRIu32 "%s) ", kRetry, attempt, maxAttempts, secondsLeft, kSeconds);
  } else {
    snprintf(head, sizeof head, "%s%d/%d ... ", kRetry, attempt, maxAttempts);
  }
  CopyText(text, textSize, head);
  AppendText(text, textSize, what != nullptr ? what : "");
}

void FormatSpaceShortage(char drive, uint64_t neededBytes, uint64_t freeBytes, char* text, size_t textSize) {
  char numbers[96];
  snprintf(numbers, sizeof numbers, "%" PRIu64 "%s%" PRIu64 " MB", MegabytesUp(neededBytes), kFree,
           MegabytesDown(freeBytes));
  char letter[3] = {drive, ':', '\0'};
  CopyText(text, textSize, kNoSpace);
  AppendText(text, textSize, letter);
  AppendText(text, textSize, kOnDrive);
  AppendText(text, textSize, kNeeded);
  AppendText(text, textSize, numbers);
}
