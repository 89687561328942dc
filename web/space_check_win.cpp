#include "web/space_check_win.h"

#include <windows.h>

#include <string>
#include <utility>
#include <vector>

#include "base/install_log_win.h"
#include "base/resource_text_win.h"
#include "res/resource.h"
#include "base/message_box_win.h"
#include "layout/description.h"
#include "layout/install_layout.h"
#include "layout/profile_section.h"
#include "layout/profile_section_win.h"
#include "state/install_state_win.h"
#include "web/network_texts.h"
#include "web/space_check.h"

namespace {

uint64_t FileBytes(const std::string& path) {
  if (!FitsPathBuffer(path)) return 0;
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) return 0;
  if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) return 0;
  return (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

}  // namespace

SpaceOnDisk CountFilesOnDisk(char targetDrive) {
  SpaceOnDisk onDisk;
  const RemoteDescription& remote = g_state.download.remote;
  const std::string root = g_state.paths.rootFolder;
  for (int disc = 1; disc <= kDiscCount; ++disc) {
    // Only a list an earlier run staged whole names the files on the disk; the files of a disc whose
    // list is missing are counted as new.
    const std::string list = FileListPathOf(g_state.paths.stagingFolder, disc);
    bool any = false;
    for (int part = 0; part < kPartCount; ++part) any = any || remote.discs[disc - 1].present[part] != 0;
    if (!any || !FitsPathBuffer(list) || GetFileAttributesA(list.c_str()) == INVALID_FILE_ATTRIBUTES) continue;
    for (int part = 0; part < kPartCount; ++part) {
      if (!remote.discs[disc - 1].present[part]) continue;
      std::vector<char> entries;
      if (!ReadProfileSection(list.c_str(), kPartNames[part], &entries)) continue;
      const ProfileSection section(std::move(entries));
      for (int n = 1;; ++n) {
        char line[kTextSize];
        if (!section.Find(NumberedKey("File", n).c_str(), line, sizeof line) || IsAbsentValue(line)) break;
        FileEntry entry;
        if (ParseFileLine(line, &entry) != FileLineStatus::kOk) continue;
        onDisk.staged += FileBytes(SourcePathOf(g_state.paths.stagingFolder, disc, entry.source));
        const std::string target = TargetPathOf(entry, root, g_state.process.windowsFolder);
        if (DriveOfPath(target.c_str()) == targetDrive) onDisk.installed += FileBytes(target);
      }
    }
  }
  return onDisk;
}

bool CheckFreeSpace(HWND owner) {
  // The run's root folder ("X:\<root>") names the target drive; without one nothing is known to check.
  const char target = DriveOfPath(g_state.paths.rootFolder);
  if (target == '\0') return true;
  // A repeated run (a repair, or one after a failed download) writes only what is not there yet.
  const SpaceOnDisk onDisk = CountFilesOnDisk(target);
  if (onDisk.staged != 0 || onDisk.installed != 0) {
    LogEvent("space check: %llu bytes of the set staged and %llu installed on %c: already",
             static_cast<unsigned long long>(onDisk.staged), static_cast<unsigned long long>(onDisk.installed),
             target);
  }
  // Which files go below the Windows folder (fonts, "*%" targets) is known only from the file lists,
  // which arrive disc by disc: that drive is checked for the margin.
  DriveNeed needs[2];
  int count = ComputeSpaceNeeds(target, DriveOfPath(g_state.process.windowsFolder), SelectedSetBytes(g_state.download.remote), 0,
                                onDisk, needs);
  for (int i = 0; i < count; ++i) {
    char root[4] = {needs[i].drive, ':', '\\', '\0'};
    ULARGE_INTEGER available;
    if (!GetDiskFreeSpaceExA(root, &available, nullptr, nullptr)) continue;
    if (available.QuadPart >= needs[i].bytes) continue;
    char text[kTextSize];
    FormatSpaceShortage(LoadResourceText(g_state.windows.instance, IDS_NO_SPACE).c_str(), needs[i].drive, needs[i].bytes, available.QuadPart, text, sizeof text);
    LogEvent("too little space on %c: (%llu bytes needed, %llu free): nothing fetched", needs[i].drive,
             static_cast<unsigned long long>(needs[i].bytes), static_cast<unsigned long long>(available.QuadPart));
    ShowBox(owner, text, g_state.process.caption, MB_ICONERROR | MB_OK, IDOK);
    return false;
  }
  return true;
}
