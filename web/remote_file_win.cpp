#include "web/remote_file_win.h"

#include <atomic>
#include <cstdint>
#include <cstring>
#include <memory>
#include <new>
#include <utility>

#include "state/install_state_win.h"
#include "base/install_log_win.h"
#include "base/message_box_win.h"
#include "base/scoped_lock_win.h"
#include "web/bounded_read_win.h"
#include "web/probe.h"
#include "base/text.h"
#include "web/retry_policy.h"
#include "web/session_win.h"

namespace {

// Every file comes from the server, never from the cache, and is not written to it.
constexpr DWORD kRequestFlags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_NO_AUTH;
// More redirections than any sane server chains; a longer chain is a loop, and the file counts as missing.
constexpr int kMaxRedirections = 10;

// A header as decimal text (the description's number rules). false when the query fails.
bool QueryHeaderNumber(HINTERNET request, DWORD query, int64_t* value) {
  char text[256];
  DWORD size = sizeof text - 1;
  DWORD index = 0;
  if (!HttpQueryInfoA(request, query, text, &size, &index)) return false;
  text[size < sizeof text ? size : sizeof text - 1] = '\0';
  *value = ParseDecimal(text);
  return true;
}

// True when url begins with the scheme (given with its colon, lower case), in any case.
bool IsScheme(const char* url, const char* scheme) {
  size_t n = strlen(scheme);
  return _strnicmp(url, scheme, n) == 0;
}

// A proxy that asks for credentials (407) gets the platform's credential dialog, owned by the web
// dialog; each time the user gives some, the request is sent again. A silent run never asks (nobody would
// answer, and the run would wait for ever), and once the user cancels the dialog the run asks no more:
// the request keeps its 407 and fails like an unreachable host. Returns the final status (0 when
// unknown). The user name and password stay inside WinINet; nothing of them is logged.
//
// The transfers in flight at once may all meet the proxy's 407 together: one asks at a time (a second
// dialog on top of the first would ask the user twice for the same thing), and a transfer that waited
// while another's dialog was answered first sends its request again with what the user gave.
std::atomic<uint32_t> g_credentialsGiven{0};

CRITICAL_SECTION& CredentialLock() {
  static CRITICAL_SECTION* lock = [] {
    CRITICAL_SECTION* made = new CRITICAL_SECTION;
    InitializeCriticalSection(made);
    return made;
  }();
  return *lock;
}

int64_t AskProxyCredentials(HINTERNET request) {
  const uint32_t givenBefore = g_credentialsGiven.load();
  ScopedLock held(CredentialLock());
  int64_t status = 407;
  if (g_credentialsGiven.load() != givenBefore) {
    if (!HttpSendRequestA(request, nullptr, 0, nullptr, 0)) return 0;
    if (!QueryHeaderNumber(request, HTTP_QUERY_STATUS_CODE, &status)) return 0;
    if (status != 407) return status;
  }
  for (int asked = 0; asked < 3 && status == 407; ++asked) {
    if (g_state.flags.cancelRequested.load() != 0) break;
    if (!MayAskProxyCredentials()) {
      LogEvent("proxy asks for credentials: not asked (%s)",
               IsSilentRun() ? "a silent run" : "the user cancelled the credential dialog");
      break;
    }
    LogEvent("proxy asks for credentials: the credential dialog is shown");
    HWND owner = g_state.windows.webDialog;
    DWORD answer = owner != nullptr && GetWindowThreadProcessId(owner, nullptr) != GetCurrentThreadId()
                       ? static_cast<DWORD>(SendMessageA(owner, kProxyCredentialsMessage, 0,
                                                         reinterpret_cast<LPARAM>(request)))
                       : ShowProxyCredentialDialog(owner, request);
    if (answer != ERROR_INTERNET_FORCE_RETRY) {
      LogEvent("proxy credentials: the dialog was cancelled");
      NoteProxyCredentialsRefused();
      break;
    }
    g_credentialsGiven.fetch_add(1);
    if (!HttpSendRequestA(request, nullptr, 0, nullptr, 0)) return 0;
    if (!QueryHeaderNumber(request, HTTP_QUERY_STATUS_CODE, &status)) return 0;
    LogEvent("proxy credentials: %s", status == 407 ? "refused by the proxy" : "accepted by the proxy");
  }
  return status;
}

bool IsRedirection(int64_t status) {
  return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

// Opens url and follows its redirections, at most kMaxRedirections of them; the handle of the final
// response (any status), or null. WinINet would follow them itself, but without a limit (Wine's follows a
// server that redirects a file to itself for ever), and a request that never returns cannot even be
// cancelled: so the installer follows them here. A relative Location is taken from the URL it came
// from; any other host is followed like the same one, and so is a change from HTTP to HTTPS. A redirection
// from HTTPS to plain HTTP is refused (the file fails, as WinINet itself refuses it by default): it would
// fetch the file over a connection anyone on the way could read and change.
HINTERNET OpenFollowingRedirections(HINTERNET session, const char* url, const char* headers = nullptr,
                                     bool* endless = nullptr) {
  // endless: set when the failure is the server's chain of redirections, not the network.
  bool ignored = false;
  if (endless == nullptr) endless = &ignored;
  *endless = false;
  char current[INTERNET_MAX_URL_LENGTH + 1];
  if (strlen(url) >= sizeof current) return nullptr;
  strcpy(current, url);
  for (int hop = 0;; ++hop) {
    DWORD headersLength = headers != nullptr ? static_cast<DWORD>(strlen(headers)) : 0;
    // Through a proxy, WinINet must be free to answer the proxy's request for credentials.
    DWORD flags = kRequestFlags | INTERNET_FLAG_NO_AUTO_REDIRECT;
    if (CurrentSessionRoute() == SessionRoute::kSystemProxy) flags &= ~static_cast<DWORD>(INTERNET_FLAG_NO_AUTH);
    ScopedInternet request(
        InternetOpenUrlA(session, current, headersLength != 0 ? headers : nullptr, headersLength, flags, 0));
    if (!request) {
      const DWORD error = GetLastError();
      NoteSessionError(error);
      SetLastError(error);
      return nullptr;
    }
    NoteSessionAnswer();
    // The session's time-outs do not reach every platform's reads of the body (Wine's did not): set on
    // the request, whose connection is open now, they bound every read of it.
    DWORD bound = kStallBoundMs;
    InternetSetOptionA(request.get(), INTERNET_OPTION_RECEIVE_TIMEOUT, &bound, sizeof bound);
    InternetSetOptionA(request.get(), INTERNET_OPTION_SEND_TIMEOUT, &bound, sizeof bound);
    int64_t status = 0;
    if (QueryHeaderNumber(request.get(), HTTP_QUERY_STATUS_CODE, &status) && status == 407) {
      status = AskProxyCredentials(request.get());
    }
    if (status <= 0 || !IsRedirection(status)) return request.release();
    char location[INTERNET_MAX_URL_LENGTH + 1];
    DWORD size = sizeof location - 1;
    DWORD index = 0;
    // A redirection without a place to go is the final response; its status fails the open.
    if (!HttpQueryInfoA(request.get(), HTTP_QUERY_LOCATION, location, &size, &index)) return request.release();
    location[size < sizeof location ? size : sizeof location - 1] = '\0';
    request.reset();
    *endless = true;
    if (hop == kMaxRedirections) return nullptr;
    char next[INTERNET_MAX_URL_LENGTH + 1];
    DWORD nextSize = sizeof next;
    if (!InternetCombineUrlA(current, location, next, &nextSize, ICU_NO_ENCODE)) return nullptr;
    if (IsScheme(current, "https:") && IsScheme(next, "http:")) return nullptr;
    *endless = false;
    strcpy(current, next);
  }
}

// A header's text into a buffer; empty when absent or longer than the buffer (a cut validator or date
// would be wrong, not shorter).
void QueryHeaderText(HINTERNET request, DWORD query, char* text, size_t textSize) {
  DWORD size = static_cast<DWORD>(textSize - 1);
  DWORD index = 0;
  if (!HttpQueryInfoA(request, query, text, &size, &index) || size >= textSize) {
    text[0] = '\0';
    return;
  }
  text[size] = '\0';
}

// Opens url and follows redirections as OpenFollowingRedirections does, and describes the final answer
// (OpenRemoteAnswer's 0, 1, 2).
int OpenAnswer(HINTERNET session, const char* url, const char* headers, HINTERNET* request, RemoteAnswer* answer) {
  *answer = RemoteAnswer{};
  answer->length = -1;
  bool endless = false;
  *request = nullptr;
  ScopedInternet opened(session ? OpenFollowingRedirections(session, url, headers, &endless) : nullptr);
  if (!opened) return endless ? 2 : 1;
  if (!QueryHeaderNumber(opened.get(), HTTP_QUERY_STATUS_CODE, &answer->status)) return 1;
  char length[64];
  QueryHeaderText(opened.get(), HTTP_QUERY_CONTENT_LENGTH, length, sizeof length);
  bool digits = length[0] != '\0';
  for (const char* p = length; *p != '\0'; ++p) digits = digits && *p >= '0' && *p <= '9';
  answer->length = digits && strlen(length) <= 18 ? ParseDecimal(length) : -1;
  QueryHeaderText(opened.get(), HTTP_QUERY_ETAG, answer->etag, sizeof answer->etag);
  QueryHeaderText(opened.get(), HTTP_QUERY_LAST_MODIFIED, answer->lastModified, sizeof answer->lastModified);
  QueryHeaderText(opened.get(), HTTP_QUERY_CONTENT_RANGE, answer->contentRange, sizeof answer->contentRange);
  QueryHeaderText(opened.get(), HTTP_QUERY_RETRY_AFTER, answer->retryAfter, sizeof answer->retryAfter);
  *request = opened.release();
  return 0;
}

// What OpenChecked found.
enum class Checked {
  kAccepted,    // status 200 and 0 < Content-Length <= the bound: the request is open
  kNoAnswer,    // the connection failed or was cut before the headers
  kEndless,     // the server's redirections led nowhere
  kRefused,     // an answer with another status, or without a usable length (*answer says which)
};

// Opens url on session and checks status 200 and 0 < Content-Length <= maxLength; every request for a
// file read whole goes through here and leaves one log line.
Checked OpenChecked(HINTERNET session, const char* url, DWORD maxLength, HINTERNET* request, DWORD* length,
                    RemoteAnswer* answer) {
  *length = 0;
  *request = nullptr;
  const DWORD started = GetTickCount();
  HINTERNET answered = nullptr;
  int how = OpenAnswer(session, url, nullptr, &answered, answer);
  if (how != 0) {
    const DWORD error = GetLastError();
    LogEvent("request %s: failed, WinINet error %lu, %lu ms", url, error, GetTickCount() - started);
    return how == 2 ? Checked::kEndless : Checked::kNoAnswer;
  }
  ScopedInternet opened(answered);
  // Redirections have been followed: this is the final response.
  bool ok = answer->status == 200 && answer->length > 0 && answer->length <= static_cast<int64_t>(maxLength);
  LogEvent("request %s: status %lld, %lld bytes announced, %lu ms%s", url, static_cast<long long>(answer->status),
           static_cast<long long>(answer->length), GetTickCount() - started,
           ok ? "" : (answer->status == 200 ? " (refused: length missing or out of bounds)" : " (refused)"));
  if (!ok) return Checked::kRefused;
  *length = static_cast<DWORD>(answer->length);
  *request = opened.release();
  return Checked::kAccepted;
}

int64_t UnixNow() {
  FILETIME ft;
  GetSystemTimeAsFileTime(&ft);
  uint64_t t = (static_cast<uint64_t>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
  return static_cast<int64_t>(t / 10000000ull) - 11644473600ll;
}

}  // namespace

int OpenRemoteAnswer(const char* url, const char* headers, HINTERNET* request, RemoteAnswer* answer) {
  return OpenAnswer(g_state.internet.session, url, headers, request, answer);
}

bool RetryAfterOf(const RemoteAnswer& answer, uint32_t* delayMs) {
  *delayMs = 0;
  return answer.retryAfter[0] != '\0' && ParseRetryAfter(answer.retryAfter, UnixNow(), delayMs);
}

int OpenRemoteFile(const char* url, HINTERNET* request, DWORD* length) {
  RemoteAnswer answer;
  return OpenChecked(g_state.internet.session, url, 0xFFFFFFFFu, request, length, &answer) == Checked::kAccepted ? 0 : 1;
}

int OpenRemoteTextFile(const char* url, HINTERNET* request, DWORD* length) {
  RemoteAnswer answer;
  return OpenChecked(g_state.internet.session, url, kMaxWholeFileLength, request, length, &answer) == Checked::kAccepted
             ? 0
             : 1;
}

AttemptResult FetchWholeFile(const char* url, WholeFile* file) {
  AttemptResult result;
  file->text.reset();
  file->size = 0;
  file->closeFailed = false;
  HINTERNET opened = nullptr;
  DWORD length = 0;
  RemoteAnswer answer;
  Checked checked = OpenChecked(g_state.internet.session, url, kMaxWholeFileLength, &opened, &length, &answer);
  ScopedInternet request(opened);
  switch (checked) {
    case Checked::kAccepted:
      break;
    case Checked::kNoAnswer:
      result.fault = TransferFault::kConnectFailed;  // no answer at all may come next time
      return result;
    case Checked::kEndless:
      result.fault = TransferFault::kBadAnswer;  // redirections that lead nowhere will lead nowhere again
      return result;
    case Checked::kRefused:
      result.status = answer.status;
      result.haveRetryAfter = RetryAfterOf(answer, &result.retryAfterMs);
      result.fault = answer.status != 200 ? TransferFault::kHttpStatus : TransferFault::kBadAnswer;
      return result;
  }
  result.status = answer.status;
  result.haveRetryAfter = RetryAfterOf(answer, &result.retryAfterMs);
  file->text.reset(new (std::nothrow) char[length]);
  if (!file->text) {
    result.fault = TransferFault::kLocal;
    return result;
  }
  int read = ReadRemoteFile(std::move(request), file->text.get(), length);
  if (read == 1) {
    file->text.reset();
    result.fault = TransferFault::kReadFailed;  // a cut, reset or stalled body
    return result;
  }
  file->size = static_cast<int>(length);
  file->closeFailed = read == 2;
  return result;
}

int ReadRemoteFile(ScopedInternet request, char* buffer, DWORD length) {
  BoundedReader reader(std::move(request), length);
  char* data = nullptr;
  DWORD got = 0;
  DWORD error = 0;
  bool whole = reader.ok() &&
               reader.ReadChunk(TransferStallBoundMs(), &g_state.flags.cancelRequested, &data, &got, &error) ==
                   BoundedReader::Result::kData &&
               got == length;
  if (whole) memcpy(buffer, data, length);
  bool closed = reader.Close();
  if (!whole) return 1;
  return closed ? 0 : 2;
}

bool ProbeServer(HINTERNET session) {
  char url[256];
  if (!UpdateDirectoryUrl(g_state.download.httpsMode, url, sizeof url)) return false;
  if (strlen(url) + strlen("/Update.ini") + 1 > sizeof url) return false;
  strcat(url, "/Update.ini");

  HINTERNET opened = nullptr;
  DWORD length = 0;
  RemoteAnswer answer;
  if (OpenChecked(session, url, kMaxWholeFileLength, &opened, &length, &answer) != Checked::kAccepted) return false;
  ScopedInternet request(opened);
  if (g_state.flags.cancelRequested.load() != 0) return false;
  BoundedReader reader(std::move(request), length);
  char* text = nullptr;
  DWORD got = 0;
  DWORD error = 0;
  // A short answer is not fatal here: the scan looks at what arrived.
  BoundedReader::Result read =
      reader.ok() ? reader.ReadChunk(TransferStallBoundMs(), &g_state.flags.cancelRequested, &text, &got, &error)
                  : BoundedReader::Result::kFailed;
  if (read == BoundedReader::Result::kFailed || read == BoundedReader::Result::kStalled) return false;
  // The text lives in the reader's buffer: scanned before the reader is closed.
  bool accepted =
      ScanProbeText(text, static_cast<int>(got), g_state.flags.cancelRequested) == ProbeVerdict::kAccepted;
  return reader.Close() && accepted;
}

DWORD ShowProxyCredentialDialog(HWND owner, HINTERNET request) {
  return InternetErrorDlg(owner != nullptr ? owner : GetDesktopWindow(), request, ERROR_INTERNET_INCORRECT_PASSWORD,
                          FLAGS_ERROR_UI_FILTER_FOR_ERRORS | FLAGS_ERROR_UI_FLAGS_CHANGE_OPTIONS |
                              FLAGS_ERROR_UI_FLAGS_GENERATE_DATA,
                          nullptr);
}
