// The Hungarian texts of the download's new situations (code page 1250): a retry under way, a drive
// without room for the set and a file of the set that could not be downloaded.
#pragma once
#include <cstddef>
#include <cstdint>

// The status field while a file is tried again: "újrapróbálás 3/5 ... " + what, and while the wait
// before it runs, "újrapróbálás 3/5 ... (4 mp) " + what (secondsLeft > 0). `what` is the file as the
// status field shows it. Cut to textSize when longer (a status line, not a path).
void FormatRetryStatus(int attempt, int maxAttempts, uint32_t secondsLeft, const char* what, char* text,
                       size_t textSize);

// "Nincs elég szabad hely a(z) C: meghajtón!\r\nA telepítéshez szükséges: 120 MB, szabad: 45 MB":
// neededBytes rounded up, freeBytes rounded down to whole megabytes (2^20 bytes).
void FormatSpaceShortage(char drive, uint64_t neededBytes, uint64_t freeBytes, char* text, size_t textSize);

// "A(z) big.dat fájl letöltése a WEB-ről sikertelen, a telepítés megszakad!": serverName is the file as
// the server names it (its disc's list gives it). A name too long for text is cut, the end of the
// sentence kept: the box must still say what happened.
void FormatFileFailed(const char* serverName, char* text, size_t textSize);
