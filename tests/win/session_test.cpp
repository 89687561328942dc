// When the proxy's credential dialog may be shown: a run with windows asks until the user cancels it once
// (the other host goes through the same proxy, and asking again would ignore that Cancel); a silent run
// never asks (nobody would answer, the run would wait for ever); a new route asks afresh. The dialog
// itself, under the real program and a proxy that asks, is tested end to end
// (tests/e2e/test_proxy_credentials.py).
#include <windows.h>

#include <gtest/gtest.h>

#include "base/message_box_win.h"
#include "web/session_win.h"

namespace {

enum class Act { kNothing, kCancelDialog, kSilent, kWindows, kProxyRoute };

struct Step {
  const char* what;
  Act act;
  bool mayAsk;  // after the act
};

class ProxyCredentialsPolicy : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetSessionPrecheckForTest();
    SetSilentRun(false);
  }
  void TearDown() override {
    ResetSessionPrecheckForTest();
    SetSilentRun(false);
  }
};

TEST_F(ProxyCredentialsPolicy, AsksUntilCancelledAndNeverInASilentRun) {
  const Step steps[] = {
      {"a run with windows, through the proxy", Act::kProxyRoute, true},
      {"the first host's dialog cancelled", Act::kCancelDialog, false},
      {"the second host, same run", Act::kNothing, false},
      {"a new route asks afresh", Act::kProxyRoute, true},
      {"a silent run", Act::kSilent, false},
      {"a silent run on a new route", Act::kProxyRoute, false},
      {"windows again", Act::kWindows, true},
      {"cancelled, then windows again: still no", Act::kCancelDialog, false},
      {"windows switched on after a Cancel", Act::kWindows, false},
  };
  for (const Step& step : steps) {
    switch (step.act) {
      case Act::kNothing:
        break;
      case Act::kCancelDialog:
        NoteProxyCredentialsRefused();
        break;
      case Act::kSilent:
        SetSilentRun(true);
        break;
      case Act::kWindows:
        SetSilentRun(false);
        break;
      case Act::kProxyRoute:
        SetSessionRoute(SessionRoute::kSystemProxy);
        break;
    }
    EXPECT_EQ(MayAskProxyCredentials(), step.mayAsk) << step.what;
  }
}

}  // namespace
