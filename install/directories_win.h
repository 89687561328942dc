// Creating the run's folders: the staging folder the download fills, and the system's folders from the
// staged description.
#pragma once
#include <windows.h>

void CreateSystemDirectories();

// True when the root, program and staging folders exist afterwards.
bool CreateStagingFolders();
