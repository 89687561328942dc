// The box that ends a run whose set was refused: the download's checks and the copy step's check of a
// staged file against its list both show it.
#pragma once
#include <windows.h>

// Why a set or a file was refused; each has its message box (caption: the program's own).
enum class SetRefusal {
  kDamaged,        // "A letöltött ' %s ' fájl sérült, a telepítés megszakad!" (the file is named)
  kBadSignature,   // "A telepítő készlet aláírása érvénytelen, a telepítés megszakad!"
  kExpired,       // IDS_SET_EXPIRED (the date it was valid until is named)
  kForeign,       // IDS_SET_FOREIGN (what the set is signed for is named)
  kWithdrawn,     // IDS_SET_WITHDRAWN (the set's sequence is named)
};
// fileName: the damaged file (kDamaged) or the value the box names (kExpired, kForeign, kWithdrawn).
void ShowSetRefusal(HWND owner, const char* caption, SetRefusal why, const char* fileName);
