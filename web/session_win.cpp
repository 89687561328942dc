#include "web/session_win.h"

#include <wininet.h>

#include <atomic>
#include <utility>

#include "base/install_log_win.h"
#include "base/message_box_win.h"
#include "base/scoped_handle_win.h"
#include "layout/server_layout.h"
#include "state/install_state_win.h"
#include "web/fetch_queue.h"
#include "web/retry_policy.h"
#include "web/server_hosts.h"

namespace {

const char kUserAgent[] = "QuarnCAD UpDate";

// Made before the first open of the process only.
bool g_precheckDone = false;
SessionRoute g_route = SessionRoute::kDirect;
// Written by every transfer in flight, whichever thread it runs on.
std::atomic<bool> g_gotAnswer{false};
std::atomic<bool> g_credentialsRefused{false};
std::atomic<const char*> g_certificateProblem{nullptr};

// Is the server reachable at all? WinINet's answer without a URL is useless for this: on Windows it
// pings "the nearest server of its internal database", which is empty until some server has been
// contacted, so it would fail the very first open on a machine whose connection works; under Wine it is
// a stub that always answers yes. Asking with the URL of the server we are about to use makes a real
// connection to it: a refused or unreachable host fails the open (the caller then tries the other mode),
// any reachable host lets the open go on.
bool ServerReachable(int secure, const char* serverName) {
  char url[300];
  url[0] = '\0';
  bool fit = FormUpdateDirectoryUrl(secure != 0, serverName, url, sizeof url);
  // The directory itself need not exist: only the connection counts.
  if (!fit) return false;
  if (InternetCheckConnectionA(url, FLAG_ICC_FORCE_CONNECTION, 0)) return true;
  const DWORD error = GetLastError();
  LogEvent("connection check %s: failed, WinINet error %lu", url, error);
  NoteSessionError(error);
  return false;
}

// The files of a set with hash data are fetched several at once, each on its own connection to the same
// server. WinINet allows few connections per server by default (2 to an HTTP/1.1 server on older
// Windows): the transfers beyond them would wait for a free connection and the files would come one
// after the other again. A transfer given up in a stalled read may hold its connection until the server
// closes it, so the limit leaves room for as many again. A limit already higher is kept. Set on the
// session where WinINet takes it there, else process-wide (handle null); a failure leaves the default.
void RaiseConnectionLimits(HINTERNET handle) {
  const DWORD wanted = 2 * static_cast<DWORD>(kParallelTransfers);
  for (DWORD option : {static_cast<DWORD>(INTERNET_OPTION_MAX_CONNS_PER_SERVER),
                       static_cast<DWORD>(INTERNET_OPTION_MAX_CONNS_PER_1_0_SERVER)}) {
    DWORD current = 0;
    DWORD size = sizeof current;
    if (InternetQueryOptionA(handle, option, &current, &size) && current >= wanted) continue;
    DWORD value = wanted;
    InternetSetOptionA(handle, option, &value, sizeof value);
  }
}

}  // namespace

int OpenSession(int secure, const char* serverName) {
  InternetSession& s = g_state.internet;
  if (InternetAttemptConnect(0) != ERROR_SUCCESS) return 1;

  char name[256];
  int port = 0;
  int defaultPort = secure ? INTERNET_DEFAULT_HTTPS_PORT : INTERNET_DEFAULT_HTTP_PORT;
  if (!SplitHost(serverName, name, sizeof name, &port, defaultPort)) return 1;

  g_gotAnswer = false;
  g_certificateProblem = nullptr;
  if (!g_precheckDone) {
    g_precheckDone = true;
    if (!ServerReachable(secure, serverName)) return 1;
  }

  RaiseConnectionLimits(nullptr);  // the process-wide limits, before the session exists
  DWORD access = g_route == SessionRoute::kSystemProxy ? INTERNET_OPEN_TYPE_PRECONFIG : INTERNET_OPEN_TYPE_DIRECT;
  ScopedInternet session(InternetOpenA(kUserAgent, access, nullptr, nullptr, 0));
  if (!session) return 1;
  // A server that accepts a request and then sends nothing must not hold the download for ever: no byte
  // for this long fails the open (and, on Windows, a read). Wine ignores it for reads: every body is read
  // through web/bounded_read_win, which gives up after the same time without a byte.
  RaiseConnectionLimits(session.get());
  DWORD bound = kStallBoundMs;
  InternetSetOptionA(session.get(), INTERNET_OPTION_RECEIVE_TIMEOUT, &bound, sizeof bound);
  InternetSetOptionA(session.get(), INTERNET_OPTION_SEND_TIMEOUT, &bound, sizeof bound);
  // No request goes through the connection handle, so a failed connect does not fail the open.
  s.connection = InternetConnectA(session.get(), name, static_cast<INTERNET_PORT>(port), "", "",
                                  INTERNET_SERVICE_HTTP, INTERNET_FLAG_TRANSFER_BINARY, 0);
  s.session = session.release();
  return 0;
}

void CloseSession() {
  InternetSession& s = g_state.internet;
  ScopedInternet connection(std::exchange(s.connection, nullptr));
  ScopedInternet session(std::exchange(s.session, nullptr));
  connection.reset();  // the connection first: it was made on the session
  session.reset();
}

const char* ServerHost(int secure) { return secure ? QUARN_HTTPS_HOST : QUARN_HTTP_HOST; }

bool UpdateDirectoryUrl(int secure, char* url, size_t urlSize) {
  return FormUpdateDirectoryUrl(secure != 0, ServerHost(secure), url, urlSize);
}

void ResetSessionPrecheckForTest() {
  g_precheckDone = false;
  g_route = SessionRoute::kDirect;
  g_credentialsRefused = false;
}

void SetSessionRoute(SessionRoute route) {
  g_route = route;
  g_credentialsRefused = false;
}
bool MayAskProxyCredentials() { return !IsSilentRun() && !g_credentialsRefused; }
void NoteProxyCredentialsRefused() { g_credentialsRefused = true; }
SessionRoute CurrentSessionRoute() { return g_route; }
bool SessionGotAnswer() { return g_gotAnswer; }
void NoteSessionAnswer() { g_gotAnswer = true; }
void NoteSessionError(unsigned long winInetError) {
  const char* problem = CertificateProblem(winInetError);
  if (problem != nullptr) g_certificateProblem = problem;
}
const char* SessionCertificateProblem() { return g_certificateProblem; }
