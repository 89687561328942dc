// Reading the remote description and downloading the set into the staging folder.
#pragma once
#include <windows.h>

int ReadRemoteDescription();

void DownloadInstallationSet();

// 0 on success, 1 when the file failed.
int DownloadFile(const char* discFolder, const char* fileName, int countProgress);

void AdvanceProgress(DWORD bytes);
