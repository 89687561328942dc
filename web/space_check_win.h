// The free-space check of the download, against the drives of this machine.
#pragma once
#include <windows.h>

// Before the first set file is requested: compares what the selected parts need (the remote
// description's sizes) with the free space of the target drive and of the Windows folder's drive.
// 0 when they fit (or a drive's free space cannot be read: the download then meets a full disk as
// before); 1 after a message box (owned by owner) naming the drive, the megabytes needed and free.
int CheckFreeSpace(HWND owner);
