// Files on the server, opened by URL on the session; the server probe.
#pragma once
#include <windows.h>
#include <wininet.h>

#include <cstdint>
#include <memory>

#include "base/scoped_handle_win.h"
#include "web/retry_policy.h"

// Files read whole into memory (the probe file, Install.ini, the file lists) are small text files; a
// length above this is not believed (a hostile or broken server must not make us allocate gigabytes).
constexpr DWORD kMaxWholeFileLength = 16u * 1024u * 1024u;

// 0 on success (request open, length > 0); 1 on failure (length 0, nothing left open). Accepts only
// status 200 and a Content-Length that is a positive number that fits 32 bits. Redirections are
// followed, ten at most: a longer chain (a loop) fails the open.
int OpenRemoteFile(const char* url, HINTERNET* request, DWORD* length);

// As OpenRemoteFile, for a file to be read whole: a length above kMaxWholeFileLength fails the open.
int OpenRemoteTextFile(const char* url, HINTERNET* request, DWORD* length);

// The final answer to a request, whatever its status: what the download needs to judge it, resume it
// or wait before asking again. Texts are empty when the header is absent.
struct RemoteAnswer {
  int64_t status;
  int64_t length;            // Content-Length; -1 when absent or not a number
  char etag[256];
  char lastModified[64];
  char contentRange[128];
  char retryAfter[64];
};

// Opens url with extra request headers ("Name: value\r\n" lines, or nullptr), follows redirections as
// OpenRemoteFile does, and describes the final answer. 0 when an answer arrived (the request is open,
// any status); 1 when none did (the connection failed or was cut before the headers; nothing open); 2
// when the server's redirections led nowhere (a loop, or a place that is no URL; nothing open).
int OpenRemoteAnswer(const char* url, const char* headers, HINTERNET* request, RemoteAnswer* answer);

// The server's Retry-After of an answer as a wait (web/retry_policy.h's ParseRetryAfter, taken from now);
// false when it gave none or none that parses.
bool RetryAfterOf(const RemoteAnswer& answer, uint32_t* delayMs);

// A small text file read whole from the server: Sign.ini, Install.ini or a disc's list.
struct WholeFile {
  std::unique_ptr<char[]> text;
  int size = 0;
  bool closeFailed = false;  // every byte arrived, but closing the request failed
};

// One request for a file read whole: the checks of OpenRemoteTextFile (status 200, 0 < Content-Length <=
// kMaxWholeFileLength) and its log line, then the body read whole as ReadRemoteFile does. fault kNone:
// file holds the text (see closeFailed). Otherwise the fault and, for an answer that came, its status and
// Retry-After, for web/retry_policy.h to judge: kConnectFailed (no answer), kBadAnswer (redirections that
// lead nowhere, or status 200 without a usable length), kHttpStatus, kReadFailed (a cut, reset or
// stalled body), kLocal (no memory).
AttemptResult FetchWholeFile(const char* url, WholeFile* file);

// The platform's credential dialog for a request a proxy answered with 407, owned by `owner` (or the
// desktop when null) and run on the calling thread; InternetErrorDlg's answer (ERROR_INTERNET_FORCE_RETRY
// when the user gave credentials). Called from another thread than the owner's, the dialog is shown by
// the owner's thread instead: the owner's window procedure answers kProxyCredentialsMessage (lParam: the
// request) with this function's result. A dialog made by the worker thread over a window of the UI
// thread was seen to stay hidden behind its owner under Wine, the installer looking stuck.
constexpr UINT kProxyCredentialsMessage = WM_APP + 2;
DWORD ShowProxyCredentialDialog(HWND owner, HINTERNET request);

// Reads an opened answer of length bytes whole into buffer and closes the request (taken over). 0 when
// exactly length bytes arrived; 1 when fewer did, a read failed, or no byte arrived for the transfer's
// bound (TransferStallBoundMs; less once Cancel is pressed); 2 when they arrived but closing failed.
int ReadRemoteFile(ScopedInternet request, char* buffer, DWORD length);

// true when the server of the current mode is the maker's update server.
bool ProbeServer(HINTERNET session);
