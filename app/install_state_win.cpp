#include "app/install_state.h"

#include <cstring>

InstallState g_state;

void ResetInstallState() {
  // The atomics cannot be memset; everything else is plain data.
  g_state.instance = nullptr;
  g_state.mainWindow = nullptr;
  memset(g_state.caption, 0, sizeof g_state.caption);
  memset(g_state.windowsFolder, 0, sizeof g_state.windowsFolder);
  g_state.targetDrive = 0;
  memset(g_state.rootName, 0, sizeof g_state.rootName);
  memset(g_state.partSelected, 0, sizeof g_state.partSelected);
  memset(g_state.downloadSelected, 0, sizeof g_state.downloadSelected);
  g_state.startAfterInstall = 1;
  memset(g_state.discTable, 0, sizeof g_state.discTable);
  g_state.httpsMode = 0;
  g_state.internet = InternetSession{nullptr, nullptr};
  memset(&g_state.remote, 0, sizeof g_state.remote);
  memset(g_state.programFolder, 0, sizeof g_state.programFolder);
  memset(g_state.stagingFolder, 0, sizeof g_state.stagingFolder);
  memset(g_state.descriptionPath, 0, sizeof g_state.descriptionPath);
  g_state.copyBytesTotal = 0;
  g_state.copyBytesDone = 0;
  g_state.cancelRequested = 0;
  g_state.workerRunning = 0;
  g_state.optionsDialog = nullptr;
  g_state.webDialog = nullptr;
  g_state.progressBar = nullptr;
}

namespace {
struct StateInit {
  StateInit() { ResetInstallState(); }
} g_stateInit;
}  // namespace
