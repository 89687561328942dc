#include "base/log_line.h"

#include <cstdio>
#include <cstring>

namespace {

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool IsSchemeChar(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '+' || c == '-' ||
         c == '.';
}

// Ends a URL's authority or a query value.
bool EndsAuthority(char c) {
  return c == '/' || c == '?' || c == '#' || c == ' ' || c == '\t' || c == '"' || c == '\'' || c == '<' ||
         c == '>' || static_cast<unsigned char>(c) < 0x20;
}

// Ends a query parameter's value.
bool EndsQueryValue(char c) {
  return c == '&' || c == ';' || c == '#' || c == ' ' || c == '\t' || c == '"' || c == '\'' || c == '<' ||
         c == '>' || static_cast<unsigned char>(c) < 0x20;
}

bool IsSecretName(const std::string& name) {
  static const char* const kSecret[] = {"password", "pwd", "pass", "token", "secret", "key", "auth", "sig",
                                        "credential"};
  std::string lower;
  for (char c : name) lower += Lower(c);
  for (const char* s : kSecret) {
    if (lower.find(s) != std::string::npos) return true;
  }
  return false;
}

// "scheme://user:pw@host" -> "scheme://***@host", for every "://" in the text.
std::string HideUserInfo(const std::string& text) {
  std::string out;
  size_t i = 0;
  while (i < text.size()) {
    const size_t mark = text.find("://", i);
    if (mark == std::string::npos || mark == 0 || !IsSchemeChar(text[mark - 1])) {
      if (mark == std::string::npos) {
        out.append(text, i, std::string::npos);
        break;
      }
      out.append(text, i, mark + 3 - i);
      i = mark + 3;
      continue;
    }
    out.append(text, i, mark + 3 - i);
    size_t end = mark + 3;
    while (end < text.size() && !EndsAuthority(text[end])) ++end;
    const size_t at = text.rfind('@', end == 0 ? 0 : end - 1);
    if (at != std::string::npos && at >= mark + 3 && at < end) {
      out += "***";
      i = at;  // keeps "@host..."
    } else {
      i = mark + 3;
    }
  }
  return out;
}

// "name=value" pairs after '?' or '&' whose name carries a secret: value -> "***".
std::string HideSecretParameters(const std::string& text) {
  std::string out;
  size_t i = 0;
  while (i < text.size()) {
    const char c = text[i];
    out += c;
    ++i;
    if (c != '?' && c != '&' && c != ';') continue;
    size_t eq = i;
    while (eq < text.size() && text[eq] != '=' && !EndsQueryValue(text[eq]) && text[eq] != '?' &&
           text[eq] != '/') {
      ++eq;  // the parameter's name
    }
    if (eq >= text.size() || text[eq] != '=') continue;
    const std::string name = text.substr(i, eq - i);
    if (!IsSecretName(name)) continue;
    out.append(text, i, eq + 1 - i);
    size_t end = eq + 1;
    while (end < text.size() && !EndsQueryValue(text[end])) ++end;
    out += "***";
    i = end;
  }
  return out;
}

}  // namespace

std::string RedactCredentials(const std::string& text) { return HideSecretParameters(HideUserInfo(text)); }

std::string FormatLogLine(const LogTime& t, const std::string& text) {
  char stamp[64];
  snprintf(stamp, sizeof stamp, "%04d-%02d-%02d %02d:%02d:%02d.%03d ", t.year, t.month, t.day, t.hour,
           t.minute, t.second, t.millisecond);
  std::string body = RedactCredentials(text);
  for (char& c : body) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) c = ' ';
  }
  if (body.size() > kMaxLogText) {
    body.resize(kMaxLogText - 3);
    body += "...";
  }
  return stamp + body + "\r\n";
}

LogBound::Decision LogBound::Admit(size_t lineBytes, bool last) {
  if (last) return kWrite;  // the reserve is there for it
  if (noticed_) return kDrop;
  const uint64_t room = limit_ > reserve_ ? limit_ - reserve_ : 0;
  if (used_ + lineBytes <= room) return kWrite;
  noticed_ = true;
  return kNoticeFirst;
}
