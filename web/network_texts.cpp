#include "web/network_texts.h"

#include <cinttypes>
#include <cstdio>
#include <cstring>

#include "base/text.h"
#include "web/space_check.h"

namespace {
const char kRetry[] = "\xfajrapr\xf3" "b\xe1l\xe1s ";                   // "újrapróbálás "
const char kSeconds[] = " mp";                                            // " mp" (seconds)
const char kNoSpace[] = "Nincs el\xe9g szabad hely a(z) ";               // "Nincs elég szabad hely a(z) "
const char kOnDrive[] = " meghajt\xf3n!\r\n";                            // " meghajtón!"
const char kNeeded[] = "A telep\xedt\xe9shez sz\xfcks\xe9ges: ";          // "A telepítéshez szükséges: "
const char kFree[] = " MB, szabad: ";                                     // " MB, szabad: "
const char kFileHead[] = "A(z) ' ";                                       // "A(z) ' "
// " ' fájl letöltése a WEB-ről sikertelen, a telepítés megszakad!" (the name quoted as the copy's
// messages quote theirs)
const char kFileFailedTail[] =
    " ' f\xe1jl let\xf6lt\xe9se a WEB-r\xf5l sikertelen, a telep\xedt\xe9s megszakad!";
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

void FormatFileFailed(const char* serverName, char* text, size_t textSize) {
  if (textSize == 0) return;
  const char* name = serverName != nullptr ? serverName : "";
  const size_t fixed = sizeof kFileHead - 1 + sizeof kFileFailedTail - 1;
  CopyText(text, textSize, kFileHead);
  if (textSize > fixed + 1) {
    // Room for the name is what the two fixed pieces leave.
    const size_t room = textSize - 1 - fixed;
    const size_t n = strlen(name) < room ? strlen(name) : room;
    const size_t at = strlen(text);
    memcpy(text + at, name, n);
    text[at + n] = '\0';
  }
  AppendText(text, textSize, kFileFailedTail);
}
