#include "base/message_box_win.h"

#include <atomic>
#include <cstdint>

#include "base/install_log_win.h"

namespace {
std::atomic<int32_t> g_silent{0};
std::atomic<int32_t> g_acceptedErrors{0};

const char* AnswerName(int answer) {
  switch (answer) {
    case IDOK:
      return "OK";
    case IDCANCEL:
      return "Cancel";
    case IDYES:
      return "Yes";
    case IDNO:
      return "No";
    default:
      return "other";
  }
}
}  // namespace

void SetSilentRun(bool silent) { g_silent = silent ? 1 : 0; }
bool IsSilentRun() { return g_silent != 0; }

int ShowBox(HWND owner, const char* text, const char* caption, UINT type, int silentAnswer) {
  const bool silent = IsSilentRun();
  const int answer = silent ? silentAnswer : MessageBoxA(owner, text, caption, type);
  const UINT buttons = type & MB_TYPEMASK;
  if ((type & MB_ICONMASK) == MB_ICONERROR && answer == IDOK && (buttons == MB_OK || buttons == MB_OKCANCEL)) {
    ++g_acceptedErrors;
  }
  LogEvent("box%s: \"%s\" answered %s", silent ? " (silent, default answer)" : "", text, AnswerName(answer));
  return answer;
}

int AcceptedErrorCount() { return g_acceptedErrors; }
