// The one internet session of the process (HTTPS or HTTP mode).
#pragma once
#include <windows.h>

#include <cstddef>

// 0 when the session is open; 1 when not (then no handle is open). serverName is a host as configured:
// "name" or "name:port" (default ports 443 and 80).
int OpenSession(int secure, const char* serverName);

// How the next OpenSession reaches the hosts: directly (always first), or through the system's proxy
// settings (WinINet's preconfigured access), the fallback when neither host answered directly.
enum class SessionRoute { kDirect, kSystemProxy };
void SetSessionRoute(SessionRoute route);
SessionRoute CurrentSessionRoute();

// Whether the proxy's credential dialog may be shown: not in a silent run (nobody would answer it), and
// not again once the user has cancelled it (the other host goes through the same proxy). A new route
// allows it again.
bool MayAskProxyCredentials();
void NoteProxyCredentialsRefused();

// Whether any request on the session opened last got an answer (any status): false when the host was
// not reached at all, which is what makes the system's proxy worth a try.
bool SessionGotAnswer();
// A request of this session failed for the HTTPS host's certificate (web/retry_policy.h's
// CertificateProblem); the last such problem since OpenSession, or nullptr.
void NoteSessionError(unsigned long winInetError);
const char* SessionCertificateProblem();
void NoteSessionAnswer();

// Closes whatever handle is open (connection first) and leaves both none.
void CloseSession();

// The host compiled into this build for a mode: QUARN_HTTPS_HOST (secure) or QUARN_HTTP_HOST.
const char* ServerHost(int secure);

// The server directory of a mode (secure 1: HTTPS, 0: HTTP) on its host, without trailing slash:
// "https://<https host>/Download/UpDate-V9.20" or "http://<http host>/UpDate-V9.20".
// false when it does not fit into urlSize bytes.
bool UpdateDirectoryUrl(int secure, char* url, size_t urlSize);

// Tests only: forget that the connectivity pre-check was made, so the next open makes it again.
void ResetSessionPrecheckForTest();
