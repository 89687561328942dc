// The free-space check of the download, against the drives of this machine.
#pragma once
#include <windows.h>

#include "web/space_check.h"

// The set's files an earlier run left on the target drive (upper-case letter): from the file lists it
// staged whole, the staged copies of the selected parts' files and their installed copies on that drive.
SpaceOnDisk CountFilesOnDisk(char targetDrive);

// Before the first set file is requested: compares what the selected parts need (the remote
// description's sizes, less what CountFilesOnDisk finds already there) with the free space of the target drive and of the Windows folder's drive.
// True when they fit (or a drive's free space cannot be read: the download then meets a full disk as
// before); false after a message box (owned by owner) naming the drive, the megabytes needed and free.
// The target drive and root are the run's folders (RunPaths::rootFolder).
bool CheckFreeSpace(HWND owner);
