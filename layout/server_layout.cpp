#include "layout/server_layout.h"

#include <cstdio>
#include <cstring>

#include "base/text.h"

const char kHttpsDirectory[] = "Download/UpDate-V9.20";
const char kHttpDirectory[] = "UpDate-V9.20";
const char kSetFolder[] = "Kelvaran"
                          "Demo";

bool SplitHost(const char* host, char* name, size_t nameSize, int* port, int defaultPort) {
  const char* colon = nullptr;
  const char* nameStart = host;
  size_t nameLength = 0;
  if (host[0] == '[') {  // [v6 address] or [v6 address]:port
    const char* close = strchr(host, ']');
    if (close == nullptr) return false;
    nameStart = host + 1;
    nameLength = static_cast<size_t>(close - nameStart);
    if (close[1] == ':') {
      colon = close + 1;
    } else if (close[1] != '\0') {
      return false;
    }
  } else {
    colon = strchr(host, ':');
    nameLength = colon ? static_cast<size_t>(colon - host) : strlen(host);
  }
  if (nameLength == 0 || nameLength + 1 > nameSize) return false;
  memcpy(name, nameStart, nameLength);
  name[nameLength] = '\0';
  if (colon == nullptr) {
    *port = defaultPort;
    return true;
  }
  long value = 0;
  const char* p = colon + 1;
  if (*p == '\0') return false;
  for (; *p; ++p) {
    if (*p < '0' || *p > '9') return false;
    value = value * 10 + (*p - '0');
    if (value > 65535) return false;
  }
  if (value == 0) return false;
  *port = static_cast<int>(value);
  return true;
}

bool FormUpdateDirectoryUrl(bool https, const char* host, char* url, size_t urlSize) {
  if (urlSize == 0) return false;
  url[0] = '\0';
  bool fit = AppendText(url, urlSize, https ? "https://" : "http://");
  fit = AppendText(url, urlSize, host) && fit;
  fit = AppendText(url, urlSize, "/") && fit;
  fit = AppendText(url, urlSize, https ? kHttpsDirectory : kHttpDirectory) && fit;
  return fit;
}

namespace {

// Characters a URL path can carry as they are (RFC 3986 unreserved and sub-delims, ":" and "@").
bool UrlPathSafe(unsigned char c) {
  if (c >= 'a' && c <= 'z') return true;
  if (c >= 'A' && c <= 'Z') return true;
  if (c >= '0' && c <= '9') return true;
  return strchr("-._~!$&'()*+,;=:@", c) != nullptr && c != '\0';
}

// Appends a file name to a URL: "\" becomes "/", unsafe bytes become %XX.
bool AppendUrlName(char* url, size_t urlSize, const char* name) {
  static const char hex[] = "0123456789ABCDEF";
  for (const unsigned char* p = reinterpret_cast<const unsigned char*>(name); *p; ++p) {
    char piece[4] = {0, 0, 0, 0};
    if (*p == '\\' || *p == '/') {
      piece[0] = '/';
    } else if (UrlPathSafe(*p)) {
      piece[0] = static_cast<char>(*p);
    } else {
      piece[0] = '%';
      piece[1] = hex[*p >> 4];
      piece[2] = hex[*p & 15];
    }
    if (!AppendText(url, urlSize, piece)) return false;
  }
  return true;
}

}  // namespace

bool FormServerUrl(const char* updateDirectoryUrl, const char* discFolder, const char* fileName,
                   char* url, size_t urlSize) {
  if (urlSize == 0) return false;
  url[0] = '\0';
  bool fit = AppendText(url, urlSize, updateDirectoryUrl);
  fit = fit && AppendText(url, urlSize, "/");
  fit = fit && AppendText(url, urlSize, kSetFolder);
  fit = fit && AppendText(url, urlSize, "/");
  fit = fit && AppendText(url, urlSize, discFolder);
  fit = fit && AppendText(url, urlSize, "/");
  fit = fit && AppendUrlName(url, urlSize, fileName);
  return fit;
}

void FormDiscFolder(int disc, char* folder, size_t folderSize) {
  snprintf(folder, folderSize, "Disc_%02i", disc);
}

void FormDiscSection(int disc, char* section, size_t sectionSize) {
  snprintf(section, sectionSize, "Disc%02i", disc);
}

void FormFileListName(int disc, char* name, size_t nameSize) {
  snprintf(name, nameSize, "Fajls_%i.ini", disc);
}

bool FormServerName(const char* fileLine, char* name, size_t nameSize) {
  if (nameSize == 0) return false;
  const char* p = fileLine;
  while (*p == ' ') ++p;
  if (*p == '\\') ++p;
  size_t n = 0;
  while (p[n] != '\0' && p[n] != ' ' && p[n] != ',') ++n;
  if (n + 1 > nameSize) {
    name[0] = '\0';
    return false;
  }
  memcpy(name, p, n);
  name[n] = '\0';
  return true;
}

bool IsFillerName(const char* name) {
  return strstr(name, "ex_") != nullptr || strstr(name, "dl_") != nullptr;
}
