#include "app/worker_texts.h"

#include "base/text.h"

const char kTitleCollecting[] = "A telep\xedt\xe9si adatok kigy\xfbjt\xe9se folyik...";
const char kTitleDownloading[] =
    "A telep\xedt\xe9si adatok let\xf6lt\xe9se folyik... (ez id\xf5 ig\xe9nyes lehet...)";
const char kTitleDirectories[] = "A rendszer k\xf6nyvt\xe1rak l\xe9trehoz\xe1sa...";
const char kTitleFiles[] = "A rendszer \xe1llom\xe1nyok telep\xedt\xe9se...";
const char kTitleRegistering[] = "A telep\xedt\xe9s regisztr\xe1l\xe1sa...";
const char kTitleSucceeded[] = "A telep\xedt\xe9s sikeresen v\xe9grehajtva!";
const char kTitleCancelled[] = "A telep\xedt\xe9si folyamat megszak\xedtva!";

const char kButtonCancel[] = "Megszak\xedt\xe1s";
const char kButtonExit[] = "Kil\xe9p\xe9s";

bool BuildNoConnectionText(char* out, size_t outSize, const char* siteName) {
  // The site name is configuration, never a format string: plain appends only.
  bool fit = CopyText(out, outSize, "\n\nA telep\xedt\xf5 rendszernek nincs Internet kapcsolata,\n");
  fit = fit && AppendText(out, outSize, " vagy nincs let\xf6lt\xe9si enged\xe9lye az '");
  fit = fit && AppendText(out, outSize, siteName);
  fit = fit && AppendText(out, outSize, "' WEB lappr\xf3l!!!");
  return fit;
}
