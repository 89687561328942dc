#include "web/remote_file_win.h"

#include <cstdint>
#include <cstring>
#include <memory>
#include <new>

#include "state/install_state_win.h"
#include "base/install_log_win.h"
#include "web/probe.h"
#include "base/text.h"
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
HINTERNET OpenFollowingRedirections(HINTERNET session, const char* url) {
  char current[INTERNET_MAX_URL_LENGTH + 1];
  if (strlen(url) >= sizeof current) return nullptr;
  strcpy(current, url);
  for (int hop = 0;; ++hop) {
    HINTERNET request =
        InternetOpenUrlA(session, current, nullptr, 0, kRequestFlags | INTERNET_FLAG_NO_AUTO_REDIRECT, 0);
    if (request == nullptr) return nullptr;
    int64_t status = 0;
    if (!QueryHeaderNumber(request, HTTP_QUERY_STATUS_CODE, &status) || !IsRedirection(status)) {
      return request;
    }
    char location[INTERNET_MAX_URL_LENGTH + 1];
    DWORD size = sizeof location - 1;
    DWORD index = 0;
    // A redirection without a place to go is the final response; its status fails the open.
    if (!HttpQueryInfoA(request, HTTP_QUERY_LOCATION, location, &size, &index)) return request;
    location[size < sizeof location ? size : sizeof location - 1] = '\0';
    InternetCloseHandle(request);
    if (hop == kMaxRedirections) return nullptr;
    char next[INTERNET_MAX_URL_LENGTH + 1];
    DWORD nextSize = sizeof next;
    if (!InternetCombineUrlA(current, location, next, &nextSize, ICU_NO_ENCODE)) return nullptr;
    if (IsScheme(current, "https:") && IsScheme(next, "http:")) return nullptr;
    strcpy(current, next);
  }
}

// Opens url on session and checks status 200 and 0 < Content-Length <= maxLength.
int OpenChecked(HINTERNET session, const char* url, DWORD maxLength, HINTERNET* request,
                DWORD* length) {
  *length = 0;
  const DWORD started = GetTickCount();
  *request = session ? OpenFollowingRedirections(session, url) : nullptr;
  if (*request == nullptr) {
    const DWORD error = GetLastError();
    LogEvent("request %s: failed, WinINet error %lu, %lu ms", url, error, GetTickCount() - started);
    return 1;
  }
  int64_t status = 0;
  int64_t announced = -1;
  // Redirections have been followed: this is the final response.
  bool ok = QueryHeaderNumber(*request, HTTP_QUERY_STATUS_CODE, &status) && status == 200 &&
            QueryHeaderNumber(*request, HTTP_QUERY_CONTENT_LENGTH, &announced) && announced > 0 &&
            announced <= static_cast<int64_t>(maxLength);
  LogEvent("request %s: status %lld, %lld bytes announced, %lu ms%s", url, static_cast<long long>(status),
           static_cast<long long>(announced), GetTickCount() - started,
           ok ? "" : (status == 200 ? " (refused: length missing or out of bounds)" : " (refused)"));
  if (!ok) {
    InternetCloseHandle(*request);
    *request = nullptr;
    return 1;
  }
  *length = static_cast<DWORD>(announced);
  return 0;
}

}  // namespace

int OpenRemoteFile(const char* url, HINTERNET* request, DWORD* length) {
  return OpenChecked(g_state.internet.session, url, 0xFFFFFFFFu, request, length);
}

int OpenRemoteTextFile(const char* url, HINTERNET* request, DWORD* length) {
  return OpenChecked(g_state.internet.session, url, kMaxWholeFileLength, request, length);
}

int ReadRemoteFile(HINTERNET request, char* buffer, DWORD length) {
  DWORD got = 0;
  if (!InternetReadFile(request, buffer, length, &got)) return 1;
  return got < length ? 1 : 0;
}

bool ProbeServer(HINTERNET session) {
  char url[256];
  if (!UpdateDirectoryUrl(g_state.download.httpsMode, url, sizeof url)) return false;
  if (strlen(url) + strlen("/Update.ini") + 1 > sizeof url) return false;
  strcat(url, "/Update.ini");

  HINTERNET request = nullptr;
  DWORD length = 0;
  if (OpenChecked(session, url, kMaxWholeFileLength, &request, &length) != 0) return false;
  if (g_state.flags.cancelRequested.load() != 0) {
    InternetCloseHandle(request);
    return false;
  }
  std::unique_ptr<char[]> text(new (std::nothrow) char[length]);
  DWORD got = 0;
  if (!text || !InternetReadFile(request, text.get(), length, &got)) {
    InternetCloseHandle(request);
    return false;
  }
  // A short read is not fatal here: the scan looks at what arrived.
  if (!InternetCloseHandle(request)) return false;
  return ScanProbeText(text.get(), static_cast<int>(got), g_state.flags.cancelRequested) ==
         ProbeVerdict::kAccepted;
}
