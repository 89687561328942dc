#include "web/space_check_win.h"

#include <windows.h>

#include "state/install_state_win.h"
#include "base/install_log_win.h"
#include "base/message_box_win.h"
#include "layout/description.h"
#include "web/network_texts.h"
#include "web/space_check.h"

int CheckFreeSpace(HWND owner) {
  char target = static_cast<char>('A' + g_state.choices.targetDrive - 1);
  if (g_state.choices.targetDrive < 1 || g_state.choices.targetDrive > 26) return 0;
  // Which files go below the Windows folder (fonts, "*%" targets) is known only from the file lists,
  // which arrive disc by disc: that drive is checked for the margin.
  DriveNeed needs[2];
  int count = ComputeSpaceNeeds(target, DriveOfPath(g_state.process.windowsFolder), SelectedSetBytes(g_state.download.remote), 0,
                                needs);
  for (int i = 0; i < count; ++i) {
    char root[4] = {needs[i].drive, ':', '\\', '\0'};
    ULARGE_INTEGER available;
    if (!GetDiskFreeSpaceExA(root, &available, nullptr, nullptr)) continue;
    if (available.QuadPart >= needs[i].bytes) continue;
    char text[kTextSize];
    FormatSpaceShortage(needs[i].drive, needs[i].bytes, available.QuadPart, text, sizeof text);
    LogEvent("too little space on %c: (%llu bytes needed, %llu free): nothing fetched", needs[i].drive,
             static_cast<unsigned long long>(needs[i].bytes), static_cast<unsigned long long>(available.QuadPart));
    ShowBox(owner, text, g_state.process.caption, MB_ICONERROR | MB_OK, IDOK);
    return 1;
  }
  return 0;
}
