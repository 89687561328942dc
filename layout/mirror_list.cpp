#include "layout/mirror_list.h"

#include <cstring>

#include "layout/set_hashes.h"

const char kMirrorSection[] = "Mirrors";

namespace {

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool BeginsWithNoCase(const char* text, size_t length, const char* prefix) {
  const size_t n = strlen(prefix);
  if (length < n) return false;
  for (size_t i = 0; i < n; ++i) {
    if (Lower(text[i]) != prefix[i]) return false;
  }
  return true;
}

bool SameNoCase(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (Lower(a[i]) != Lower(b[i])) return false;
  }
  return true;
}

bool HostByte(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' || c == '-';
}

// One line with its whole length (never cut: a URL is judged whole).
struct Line {
  const char* start;
  size_t length;
  bool terminated;
};

class LineCursor {
 public:
  LineCursor(const char* text, size_t size) : text_(text), size_(text ? size : 0) {}
  bool Next(Line* line) {
    if (pos_ >= size_) return false;
    size_t end = pos_;
    while (end + 1 < size_ && !(text_[end] == '\r' && text_[end + 1] == '\n')) ++end;
    const bool terminated = end + 1 < size_;
    if (!terminated) end = size_;
    *line = Line{text_ + pos_, end - pos_, terminated};
    pos_ = terminated ? end + 2 : size_;
    return true;
  }

 private:
  const char* text_;
  size_t size_;
  size_t pos_ = 0;
};

bool IsHeader(const Line& line, const char* header) {
  const size_t n = strlen(header);
  return line.terminated && line.length >= n && memcmp(line.start, header, n) == 0;
}

// "N" of a line "N=...": 1 to 99, no leading zero.
bool ParseIndex(const char* s, size_t n, size_t* index) {
  if (n == 0 || n > 2 || s[0] == '0') return false;
  size_t v = 0;
  for (size_t i = 0; i < n; ++i) {
    if (s[i] < '0' || s[i] > '9') return false;
    v = v * 10 + static_cast<size_t>(s[i] - '0');
  }
  *index = v;
  return true;
}

}  // namespace

MirrorUrlProblem CheckMirrorUrl(const char* text, size_t length, MirrorUrl* mirror) {
  if (text == nullptr || length == 0) return MirrorUrlProblem::kEmpty;
  if (length > kMaxMirrorUrl) return MirrorUrlProblem::kTooLong;
  for (size_t i = 0; i < length; ++i) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    if (c <= 0x20 || c >= 0x7F || c == '\\') return MirrorUrlProblem::kControl;
  }
  for (size_t i = 0; i < length; ++i) {
    if (text[i] == '?' || text[i] == '#') return MirrorUrlProblem::kQuery;
  }
  bool https = false;
  size_t at = 0;
  if (BeginsWithNoCase(text, length, "https://")) {
    https = true;
    at = 8;
  } else if (BeginsWithNoCase(text, length, "http://")) {
    at = 7;
  } else {
    return MirrorUrlProblem::kScheme;
  }
  // The authority runs to the first "/" (or the end).
  size_t pathStart = at;
  while (pathStart < length && text[pathStart] != '/') ++pathStart;
  const std::string authority(text + at, pathStart - at);
  if (authority.find('@') != std::string::npos) return MirrorUrlProblem::kUserInfo;
  const size_t colon = authority.find(':');
  const std::string host = authority.substr(0, colon);
  if (host.empty() || host[0] == '.' || host[0] == '-') return MirrorUrlProblem::kHost;
  for (char c : host) {
    if (!HostByte(c)) return MirrorUrlProblem::kHost;
  }
  if (colon != std::string::npos) {
    const std::string port = authority.substr(colon + 1);
    unsigned long value = 0;
    if (port.empty() || port.size() > 5) return MirrorUrlProblem::kPort;
    for (char c : port) {
      if (c < '0' || c > '9') return MirrorUrlProblem::kPort;
      value = value * 10 + static_cast<unsigned long>(c - '0');
    }
    if (value == 0 || value > 65535) return MirrorUrlProblem::kPort;
  }
  // The path: no "." or ".." segment (a web server would resolve it to another folder than written).
  std::string path(text + pathStart, length - pathStart);
  size_t segmentStart = 0;
  while (segmentStart <= path.size()) {
    size_t slash = path.find('/', segmentStart);
    if (slash == std::string::npos) slash = path.size();
    const std::string segment = path.substr(segmentStart, slash - segmentStart);
    if (segment == "." || segment == "..") return MirrorUrlProblem::kDotSegment;
    segmentStart = slash + 1;
  }
  while (!path.empty() && path.back() == '/') path.pop_back();
  if (mirror != nullptr) {
    mirror->https = https;
    mirror->host = host;
    mirror->url = std::string(https ? "https://" : "http://") + authority + path;
  }
  return MirrorUrlProblem::kNone;
}

const char* MirrorUrlProblemText(MirrorUrlProblem problem) {
  switch (problem) {
    case MirrorUrlProblem::kNone: return "good";
    case MirrorUrlProblem::kEmpty: return "empty";
    case MirrorUrlProblem::kTooLong: return "longer than 160 bytes";
    case MirrorUrlProblem::kControl: return "holds a control byte, a blank, a backslash or a byte beyond ASCII";
    case MirrorUrlProblem::kScheme: return "neither http:// nor https://";
    case MirrorUrlProblem::kUserInfo: return "names a user (user information before the host)";
    case MirrorUrlProblem::kHost: return "has no usable host name";
    case MirrorUrlProblem::kPort: return "has a port that is not 1 to 65535";
    case MirrorUrlProblem::kQuery: return "has a query or a fragment";
    case MirrorUrlProblem::kDotSegment: return "has a \".\" or \"..\" path segment";
  }
  return "refused";
}

MirrorData ReadMirrorSection(const char* text, size_t size, std::vector<MirrorUrl>* mirrors, std::string* problem) {
  mirrors->clear();
  std::string ignored;
  std::string* why = problem != nullptr ? problem : &ignored;
  const std::string header = std::string("[") + kMirrorSection + "]";
  LineCursor cursor(text, size);
  Line line;
  bool found = false;
  while (!found && cursor.Next(&line)) found = IsHeader(line, header.c_str());
  if (!found) return MirrorData::kAbsent;
  std::vector<MirrorUrl> read;
  while (cursor.Next(&line)) {
    if (line.length > 0 && line.start[0] == '[') break;
    if (line.length == 0 || line.start[0] == ';') continue;
    const char* eq = static_cast<const char*>(memchr(line.start, '=', line.length));
    size_t index = 0;
    if (eq == nullptr || !ParseIndex(line.start, static_cast<size_t>(eq - line.start), &index)) {
      *why = "[Mirrors] has a line that is not N=URL";
      return MirrorData::kMalformed;
    }
    if (index != read.size() + 1) {
      *why = "[Mirrors] lines are not numbered 1, 2, 3 ... in order";
      return MirrorData::kMalformed;
    }
    if (read.size() == kMaxMirrors) {
      *why = "[Mirrors] lists more than " + std::to_string(kMaxMirrors) + " mirrors";
      return MirrorData::kMalformed;
    }
    MirrorUrl mirror;
    const size_t urlLength = line.length - static_cast<size_t>(eq + 1 - line.start);
    const MirrorUrlProblem bad = CheckMirrorUrl(eq + 1, urlLength, &mirror);
    if (bad != MirrorUrlProblem::kNone) {
      *why = "[Mirrors] " + std::to_string(index) + ": the URL " + MirrorUrlProblemText(bad);
      return MirrorData::kMalformed;
    }
    for (const MirrorUrl& earlier : read) {
      if (SameNoCase(earlier.url, mirror.url)) {
        *why = "[Mirrors] " + std::to_string(index) + " repeats an earlier mirror";
        return MirrorData::kMalformed;
      }
    }
    read.push_back(mirror);
  }
  *mirrors = read;
  return MirrorData::kPresent;
}

MirrorData ReadSignedMirrorList(const char* signText, size_t size, std::vector<MirrorUrl>* mirrors,
                                std::string* problem) {
  size_t signedSize = 0;
  unsigned char signature[kSignatureSize];
  ReadSignature(signText, size, &signedSize, signature);
  return ReadMirrorSection(signText, signedSize, mirrors, problem);
}

std::string FormatMirrorSection(const std::vector<MirrorUrl>& mirrors) {
  if (mirrors.empty()) return "";
  std::string out = std::string("[") + kMirrorSection + "]\r\n";
  for (size_t i = 0; i < mirrors.size(); ++i) out += std::to_string(i + 1) + "=" + mirrors[i].url + "\r\n";
  return out;
}
