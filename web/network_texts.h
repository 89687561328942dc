// The download's texts for its new situations (a retry under way, a drive without room for the set, a
// file of the set that could not be downloaded) are in the string table; these fill them. `format` is
// the loaded text; its blanks take the values in order, which are never read as a format.
#pragma once
#include <cstddef>
#include <cstdint>

// The status field while a file is tried again: IDS_RETRY ("újrapróbálás 3/5 ... ") + what, and while
// the wait before it runs, IDS_RETRY_WAIT ("újrapróbálás 3/5 ... (4 mp) ") + what (secondsLeft > 0).
// `what` is the file as the status field shows it. Cut to textSize when longer (a status line, not a
// path).
void FormatRetryStatus(const char* format, int attempt, int maxAttempts, uint32_t secondsLeft, const char* what,
                       char* text, size_t textSize);

// IDS_NO_SPACE: "Nincs elég szabad hely a(z) C: meghajtón!\r\nA telepítéshez szükséges: 120 MB, szabad:
// 45 MB": neededBytes rounded up, freeBytes rounded down to whole megabytes (2^20 bytes).
void FormatSpaceShortage(const char* format, char drive, uint64_t neededBytes, uint64_t freeBytes, char* text,
                         size_t textSize);

// IDS_FILE_NOT_DOWNLOADED: "A(z) ' big.dat ' fájl letöltése a WEB-ről sikertelen, a telepítés
// megszakad!": serverName is the file as the server names it (its disc's list gives it). A name too
// long for text is cut, the rest of the sentence kept: the box must still say what happened.
void FormatFileFailed(const char* format, const char* serverName, char* text, size_t textSize);
