// The disk space a download and installation needs, per drive, from the part sizes Install.ini gives:
// checked before the first set file is requested, so that a full disk ends the run before anything is
// written instead of in the middle of a 500 MB set.
#pragma once
#include <cstddef>
#include <cstdint>

#include "state/install_state.h"

// Kept free beyond the set's bytes on every drive checked: the description files and folders, and
// cluster rounding of the files.
constexpr uint64_t kSpaceMarginBytes = 256u * 1024u;

// The bytes of every part present in the remote description (only selected parts are recorded
// there); a negative size counts as 0.
uint64_t SelectedSetBytes(const RemoteDescription& remote);

struct DriveNeed {
  char drive;       // upper-case letter
  uint64_t bytes;   // what must be free on it, margin included
};

// What an earlier run left on the target drive of the files this run fetches and installs: a staged
// file is either kept (its hash data match: nothing to write) or replaced by the new one, and an
// installed file is replaced in place; either way the new file needs only its size minus the old one's.
// Counted from the file lists an earlier run staged whole (see CountFilesOnDisk in space_check_win).
struct SpaceOnDisk {
  uint64_t staged = 0;     // bytes of the set's files in the staging folder
  uint64_t installed = 0;  // bytes of their installed copies on the target drive
};

// What must be free per drive for what this run writes. The target drive holds the staging copy of
// every file and the installed copy of every file except those installed below the Windows folder
// (windowsBytes, 0 when not known); the Windows folder's drive holds those. What is on the target drive
// already (onDisk) is taken off each copy's bytes, never below zero. When both are the same drive, one
// entry holds it all. windowsDrive 0: the Windows folder is unknown, only the target drive is checked.
// Returns the number of entries written to needs (1 or 2).
int ComputeSpaceNeeds(char targetDrive, char windowsDrive, uint64_t setBytes, uint64_t windowsBytes,
                      const SpaceOnDisk& onDisk, DriveNeed needs[2]);

// The drive letter of a path ("C:\windows" -> 'C'), 0 when it names none.
char DriveOfPath(const char* path);

// Whole megabytes (2^20 bytes) for the message: rounded up for what is needed, down for what is free,
// so that the message never shows a need that the free space seems to cover.
uint64_t MegabytesUp(uint64_t bytes);
uint64_t MegabytesDown(uint64_t bytes);
