#include "web/space_check.h"

uint64_t SelectedSetBytes(const RemoteDescription& remote) {
  uint64_t total = 0;
  for (int disc = 0; disc < kDiscCount; ++disc) {
    for (int part = 0; part < kPartCount; ++part) {
      int32_t size = remote.discs[disc].size[part];
      if (remote.discs[disc].present[part] && size > 0) total += static_cast<uint64_t>(size);
    }
  }
  return total;
}

namespace {
char Upper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }
}  // namespace

int ComputeSpaceNeeds(char targetDrive, char windowsDrive, uint64_t setBytes, uint64_t windowsBytes,
                      const SpaceOnDisk& onDisk, DriveNeed needs[2]) {
  targetDrive = Upper(targetDrive);
  windowsDrive = Upper(windowsDrive);
  if (windowsBytes > setBytes) windowsBytes = setBytes;
  const uint64_t installedHere = setBytes - windowsBytes;
  // Staging keeps every file; the installed copy goes to the root folder or the Windows folder. Bytes
  // already there are replaced or kept, so they need no new room.
  const uint64_t staging = setBytes > onDisk.staged ? setBytes - onDisk.staged : 0;
  const uint64_t installing = installedHere > onDisk.installed ? installedHere - onDisk.installed : 0;
  needs[0] = DriveNeed{targetDrive, staging + installing + kSpaceMarginBytes};
  if (windowsDrive == 0) return 1;
  if (windowsDrive == targetDrive) {
    needs[0].bytes += windowsBytes;
    return 1;
  }
  needs[1] = DriveNeed{windowsDrive, windowsBytes + kSpaceMarginBytes};
  return 2;
}

char DriveOfPath(const char* path) {
  if (path == nullptr || path[0] == '\0' || path[1] != ':') return 0;
  char c = Upper(path[0]);
  return (c >= 'A' && c <= 'Z') ? c : 0;
}

uint64_t MegabytesUp(uint64_t bytes) { return bytes / 1048576u + (bytes % 1048576u != 0 ? 1 : 0); }
uint64_t MegabytesDown(uint64_t bytes) { return bytes / 1048576u; }
