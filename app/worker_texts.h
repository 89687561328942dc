// What the worker shows in the web installation dialog. Texts are code page 1250 bytes. Portable.
#pragma once
#include <cstddef>

// Title line (control 3201) of each phase and of the two ends that leave the dialog open.
extern const char kTitleCollecting[];   // "A telepítési adatok kigyűjtése folyik..."
extern const char kTitleDownloading[];  // "A telepítési adatok letöltése folyik... (ez idő igényes lehet...)"
extern const char kTitleDirectories[];  // "A rendszer könyvtárak létrehozása..."
extern const char kTitleFiles[];        // "A rendszer állományok telepítése..."
extern const char kTitleRegistering[];  // "A telepítés regisztrálása..."
extern const char kTitleSucceeded[];    // "A telepítés sikeresen végrehajtva!"
extern const char kTitleCancelled[];    // "A telepítési folyamat megszakítva!"

// The Cancel button (control 2) before and after the worker ends ("Megszakítás", "Kilépés"). The text
// while the worker winds down is string 624 of the string table.
extern const char kButtonCancel[];
extern const char kButtonExit[];

// The no-connection message for the animation frame (control 3202): two line feeds, "A telepítő
// rendszernek nincs Internet kapcsolata,", a line feed, " vagy nincs letöltési engedélye az '", the
// site name, "' WEB lappról!!!". False when it did not fit (out then holds the longest prefix that fits).
bool BuildNoConnectionText(char* out, size_t outSize, const char* siteName);
