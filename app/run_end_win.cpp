#include "app/run_end_win.h"

#include <atomic>
#include <cstdint>

#include "base/install_log_win.h"
#include "base/message_box_win.h"
#include "state/install_state_win.h"

namespace {

std::atomic<int32_t> g_endCode{-1};

}  // namespace

bool IsInstalledEnd(int code) {
  return code == static_cast<int>(ExitCode::kInstalled) || code == static_cast<int>(ExitCode::kInstalledWithErrors);
}

void ReportRunEnd(ExitCode code) {
  int value = static_cast<int>(code);
  if (code == ExitCode::kInstalled && AcceptedErrorCount() > 0) {
    value = static_cast<int>(ExitCode::kInstalledWithErrors);
  }
  g_endCode = value;
  const ExitCodeInfo* info = FindExitCode(value);
  LogEvent("installation ended: %s (%d), %d error box(es) answered OK", info ? info->name : "?", value,
           AcceptedErrorCount());
  if (IsSilentRun() && g_state.windows.mainWindow) PostMessageA(g_state.windows.mainWindow, kRunEndedMessage, value, 0);
}

int ReportedRunEnd() { return g_endCode.load(); }

void ResetRunEnd() { g_endCode = -1; }
