// Installing the system's own fonts: the copy step has put the files into the fonts folder of the
// Windows folder; this step makes each one available at once and registers it so that Windows loads it
// at every start.
#include "install/fonts_win.h"

#include "base/install_log_win.h"
#include "install/description_win.h"
#include "install/fonts.h"
#include "install/registry_win.h"
#include "install/uninstall_record_win.h"
#include "layout/description.h"
#include "state/install_state_win.h"

namespace {

// Absent (missing or starting with '*') and empty values alike end the step or the list.
bool ReadNonEmptyValue(const char* section, const char* key, char* buffer, size_t size) {
  return ReadDescriptionValue(section, key, buffer, size) && buffer[0] != '\0';
}

// Tells every top-level window that the font table changed. A plain broadcast SendMessage waits for
// each window in turn, so one hung window would stop the installation for good; with the time-out a
// hung window is skipped and every other window still gets the message.
void BroadcastFontChange() {
  DWORD_PTR ignored = 0;
  SendMessageTimeoutA(HWND_BROADCAST, WM_FONTCHANGE, 0, 0, SMTO_ABORTIFHUNG, 2000, &ignored);
}

}  // namespace

void InstallFonts() {
  for (int n = 1;; ++n) {
    char fontFile[kTextSize];
    char fontName[kTextSize];
    if (!ReadNonEmptyValue("FontsCommand", NumberedKey("FontFile", n).c_str(), fontFile, sizeof fontFile)) return;
    if (!ReadNonEmptyValue("FontsCommand", NumberedKey("FontName", n).c_str(), fontName, sizeof fontName)) return;

    // A name that leaves the fonts folder (or a path too long to build) is neither loaded nor
    // registered; the list goes on with the next font.
    char fontPath[kTextSize];
    if (!BuildFontPath(g_state.process.windowsFolder, fontFile, fontPath, sizeof fontPath)) continue;

    // One broadcast per font actually added, so that running programs see each new font.
    const int added = AddFontResourceA(fontPath);
    if (added > 0) BroadcastFontChange();
    LogEvent("font %s (%s): %s", fontName, fontPath, added > 0 ? "added" : "not added");
    RecordFont(fontName, fontFile);

    // Registered even when adding failed: the file may only become loadable at the next start. The
    // registration holds the bare file name, which Windows looks up in the fonts folder.
    WriteRegistryString(HKEY_LOCAL_MACHINE, kFontsKey, fontName, fontFile);
  }
}
