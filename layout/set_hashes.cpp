#include "layout/set_hashes.h"

#include <cstdio>
#include <cstring>

#include "layout/ini_lines.h"

const char kSignFileName[] = "Sign.ini";
const char kHashSection[] = "Hashes";
const char kSignatureSection[] = "Signature";
const char kSignatureAlgorithm[] = "ECDSA-P256-SHA256";
const char kIdentitySection[] = "Identity";

namespace {

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// A line of the text with its full length (not cut to 255 bytes: a hash line is judged whole).
struct FullLine {
  const char* start;
  size_t length;
  bool terminated;
};

class FullLineCursor {
 public:
  FullLineCursor(const char* text, size_t size) : text_(text), size_(text ? size : 0) {}
  bool Next(FullLine* line) {
    if (pos_ >= size_) return false;
    size_t end = pos_;
    while (end + 1 < size_ && !(text_[end] == '\r' && text_[end + 1] == '\n')) ++end;
    bool terminated = end + 1 < size_;
    if (!terminated) end = size_;
    line->start = text_ + pos_;
    line->length = end - pos_;
    line->terminated = terminated;
    pos_ = terminated ? end + 2 : size_;
    return true;
  }
  size_t Position() const { return pos_; }

 private:
  const char* text_;
  size_t size_;
  size_t pos_ = 0;
};

bool BeginsWith(const FullLine& line, const char* prefix) {
  size_t n = strlen(prefix);
  return line.length >= n && memcmp(line.start, prefix, n) == 0;
}

// Moves the cursor past the first CR LF-ended line beginning with "[section]"; false when there is none.
// *headerStart receives the offset of that line.
bool FindSection(FullLineCursor* cursor, const char* section, size_t* headerStart) {
  std::string header = std::string("[") + section + "]";
  FullLine line;
  for (;;) {
    size_t at = cursor->Position();
    if (!cursor->Next(&line)) return false;
    if (line.terminated && BeginsWith(line, header.c_str())) {
      if (headerStart) *headerStart = at;
      return true;
    }
  }
}

bool ParseSize(const char* s, size_t n, uint64_t* size) {
  if (n == 0 || n > 20) return false;
  uint64_t v = 0;
  for (size_t i = 0; i < n; ++i) {
    if (s[i] < '0' || s[i] > '9') return false;
    uint64_t digit = static_cast<uint64_t>(s[i] - '0');
    if (v > (UINT64_MAX - digit) / 10) return false;
    v = v * 10 + digit;
  }
  *size = v;
  return true;
}

// "NAME=SIZE SHA256": the name ends at the last "=" (a name may hold "=", the value never does).
bool ParseHashLine(const FullLine& line, HashEntry* entry) {
  const char* eq = nullptr;
  for (size_t i = 0; i < line.length; ++i) {
    if (line.start[i] == '=') eq = line.start + i;
  }
  if (eq == nullptr || eq == line.start) return false;
  size_t nameLength = static_cast<size_t>(eq - line.start);
  if (nameLength > static_cast<size_t>(kMaxIniLine)) return false;
  // A control byte (a lone LF, say) is no part of a file name: such a line is not a hash line.
  for (size_t i = 0; i < nameLength; ++i) {
    unsigned char c = static_cast<unsigned char>(line.start[i]);
    if (c < 0x20 || c == 0x7F) return false;
  }
  if (!ParseHashValue(eq + 1, line.length - nameLength - 1, &entry->size, entry->sha256)) return false;
  entry->name.assign(line.start, nameLength);
  return true;
}

}  // namespace

HashData ReadHashSection(const char* text, size_t size, std::vector<HashEntry>* entries, int* badLine) {
  entries->clear();
  FullLineCursor cursor(text, size);
  if (!FindSection(&cursor, kHashSection, nullptr)) return HashData::kAbsent;
  // Line numbers for the report: count the lines up to the header.
  int number = 0;
  {
    FullLineCursor counter(text, size);
    FullLine l;
    while (counter.Position() < cursor.Position() && counter.Next(&l)) ++number;
  }
  FullLine line;
  while (cursor.Next(&line)) {
    ++number;
    if (line.length > 0 && line.start[0] == '[') break;
    if (line.length == 0 || line.start[0] == ';') continue;
    HashEntry entry;
    if (!ParseHashLine(line, &entry) || FindHashEntry(*entries, entry.name.c_str()) != nullptr) {
      entries->clear();
      if (badLine) *badLine = number;
      return HashData::kMalformed;
    }
    entries->push_back(entry);
  }
  return HashData::kPresent;
}

bool ParseHashValue(const char* value, size_t length, uint64_t* size, unsigned char sha256[kSha256Size]) {
  const char* blank = static_cast<const char*>(memchr(value, ' ', length));
  if (blank == nullptr) return false;
  const size_t sizeLength = static_cast<size_t>(blank - value);
  return ParseSize(value, sizeLength, size) && ParseHex(blank + 1, length - sizeLength - 1, sha256, kSha256Size);
}

const HashEntry* FindHashEntry(const std::vector<HashEntry>& entries, const char* name) {
  for (const HashEntry& e : entries) {
    if (e.name == name) return &e;
  }
  return nullptr;
}

std::string HexText(const unsigned char* bytes, size_t n) {
  static const char kDigits[] = "0123456789abcdef";
  std::string out;
  out.reserve(2 * n);
  for (size_t i = 0; i < n; ++i) {
    out.push_back(kDigits[bytes[i] >> 4]);
    out.push_back(kDigits[bytes[i] & 15]);
  }
  return out;
}

bool ParseHex(const char* text, size_t length, unsigned char* bytes, size_t n) {
  if (length != 2 * n) return false;
  for (size_t i = 0; i < n; ++i) {
    int hi = HexDigit(text[2 * i]);
    int lo = HexDigit(text[2 * i + 1]);
    if (hi < 0 || lo < 0) return false;
    bytes[i] = static_cast<unsigned char>(hi * 16 + lo);
  }
  return true;
}

std::string FormatHashLine(const std::string& name, uint64_t size, const unsigned char sha256[kSha256Size]) {
  return name + "=" + std::to_string(size) + " " + HexText(sha256, kSha256Size);
}

SignatureData ReadSignature(const char* text, size_t size, size_t* signedSize,
                            unsigned char signature[kSignatureSize]) {
  FullLineCursor cursor(text, size);
  size_t headerStart = 0;
  if (!FindSection(&cursor, kSignatureSection, &headerStart)) {
    *signedSize = text ? size : 0;
    return SignatureData::kAbsent;
  }
  *signedSize = headerStart;
  std::string key = std::string(kSignatureAlgorithm) + "=";
  FullLine line;
  while (cursor.Next(&line)) {
    if (line.length > 0 && line.start[0] == '[') break;
    if (!BeginsWith(line, key.c_str())) continue;
    // The first line with the key is the signature, as a lookup would take it.
    if (ParseHex(line.start + key.size(), line.length - key.size(), signature, kSignatureSize)) {
      return SignatureData::kPresent;
    }
    return SignatureData::kMalformed;
  }
  return SignatureData::kMalformed;
}

// Why each row is what it is:
// - With a key, every set must carry a good signature by it, over HTTPS and HTTP alike: a missing
//   Sign.ini, one without hashes or without a signature (stripped), a malformed signature or one by
//   another key is refused. Whoever can change the set on its way (a network attacker on the HTTP
//   fallback, a compromised or redirecting HTTPS host) could otherwise strip the signature and change
//   what they like.
// - Without a key nothing can tell the maker's set from another: the hashes find accidental damage.
//   A Sign.ini without a [Hashes] section is not one (a server that answers a missing file with a page
//   of its own): it counts as absent, so an old set installs as before. A [Hashes] section that cannot be
//   read is a damaged Sign.ini and is refused like any damaged file. A signature is not looked at.
SetTrust DecideSetTrust(const TrustInputs& in, const char** reason) {
  const char* why = "";
  SetTrust trust;
  if (in.haveKey) {
    trust = SetTrust::kRefused;
    if (!in.signFileFound) {
      why = "no Sign.ini: a set without a signature";
    } else if (in.hashes == HashData::kAbsent) {
      why = "Sign.ini has no [Hashes] section";
    } else if (in.hashes == HashData::kMalformed) {
      why = "Sign.ini's [Hashes] section cannot be read";
    } else if (in.signature == SignatureData::kAbsent) {
      why = "Sign.ini has no signature";
    } else if (in.signature == SignatureData::kMalformed) {
      why = "Sign.ini's signature is malformed";
    } else if (in.check != SignatureCheck::kGood) {
      why = "the signature does not hold for the compiled-in keys (another key, or changed after signing)";
    } else {
      trust = SetTrust::kSigned;
      why = "signed by a compiled-in key";
    }
  } else if (!in.signFileFound) {
    trust = SetTrust::kUnsigned;
    why = "no Sign.ini: an old set";
  } else if (in.hashes == HashData::kAbsent) {
    trust = SetTrust::kUnsigned;
    why = "Sign.ini has no [Hashes] section: taken as absent, an old set";
  } else if (in.hashes == HashData::kMalformed) {
    trust = SetTrust::kRefused;
    why = "Sign.ini's [Hashes] section cannot be read";
  } else {
    trust = SetTrust::kUnsigned;
    why = "no key in this build: the hashes are checked, the signature is not";
  }
  if (reason) *reason = why;
  return trust;
}

namespace {

bool IsLeapYear(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

int DaysInMonth(int y, int m) {
  static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return m == 2 && IsLeapYear(y) ? 29 : kDays[m - 1];
}

bool ParseDigits(const char* s, size_t n, int* value) {
  int v = 0;
  for (size_t i = 0; i < n; ++i) {
    if (s[i] < '0' || s[i] > '9') return false;
    v = v * 10 + (s[i] - '0');
  }
  *value = v;
  return true;
}

// The first line of the section beginning with "KEY=": its value, or false.
bool IdentityValue(const std::vector<FullLine>& lines, const char* key, std::string* value) {
  std::string prefix = std::string(key) + "=";
  for (const FullLine& line : lines) {
    if (BeginsWith(line, prefix.c_str())) {
      value->assign(line.start + prefix.size(), line.length - prefix.size());
      return true;
    }
  }
  return false;
}

// A text field of the identity: present, not empty, no control bytes, no longer than an INI value.
bool IdentityText(const std::vector<FullLine>& lines, const char* key, std::string* value, std::string* problem) {
  if (!IdentityValue(lines, key, value)) {
    *problem = std::string("[Identity] has no ") + key;
    return false;
  }
  bool ok = !value->empty() && value->size() <= static_cast<size_t>(kMaxIniLine);
  for (unsigned char c : *value) ok = ok && c >= 0x20 && c != 0x7F;
  if (!ok) *problem = std::string("[Identity] ") + key + " is empty, too long or holds control bytes";
  return ok;
}

}  // namespace

bool ParseUtcDate(const char* text, size_t length, int* year, int* month, int* day) {
  if (text == nullptr || length != 10 || text[4] != '-' || text[7] != '-') return false;
  int y = 0, m = 0, d = 0;
  if (!ParseDigits(text, 4, &y) || !ParseDigits(text + 5, 2, &m) || !ParseDigits(text + 8, 2, &d)) return false;
  if (y < 1970 || m < 1 || m > 12 || d < 1 || d > DaysInMonth(y, m)) return false;
  *year = y;
  *month = m;
  *day = d;
  return true;
}

std::string FormatUtcDate(int year, int month, int day) {
  char text[16];
  snprintf(text, sizeof text, "%04d-%02d-%02d", year, month, day);
  return text;
}

// The usual days-from-civil arithmetic (eras of 400 years, March-based years).
int64_t DayNumber(int year, int month, int day) {
  int64_t y = year - (month <= 2 ? 1 : 0);
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const int64_t yoe = y - era * 400;
  const int64_t doy = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
  const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

void DateOfDay(int64_t dayNumber, int* year, int* month, int* day) {
  const int64_t z = dayNumber + 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const int64_t doe = z - era * 146097;
  const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const int64_t mp = (5 * doy + 2) / 153;
  const int64_t d = doy - (153 * mp + 2) / 5 + 1;
  const int64_t m = mp < 10 ? mp + 3 : mp - 9;
  *year = static_cast<int>(yoe + era * 400 + (m <= 2 ? 1 : 0));
  *month = static_cast<int>(m);
  *day = static_cast<int>(d);
}

IdentityData ReadSetIdentity(const char* text, size_t size, SetIdentity* identity, std::string* problem) {
  *identity = SetIdentity();
  std::string ignored;
  std::string* why = problem ? problem : &ignored;
  FullLineCursor cursor(text, size);
  if (!FindSection(&cursor, kIdentitySection, nullptr)) return IdentityData::kAbsent;
  std::vector<FullLine> lines;
  FullLine line;
  while (cursor.Next(&line)) {
    if (line.length > 0 && line.start[0] == '[') break;
    lines.push_back(line);
  }
  SetIdentity id;
  if (!IdentityText(lines, "Folder", &id.folder, why) || !IdentityText(lines, "CadSystem", &id.cadSystem, why) ||
      !IdentityText(lines, "Version", &id.version, why)) {
    return IdentityData::kMalformed;
  }
  std::string value;
  if (!IdentityValue(lines, "Sequence", &value)) {
    *why = "[Identity] has no Sequence";
    return IdentityData::kMalformed;
  }
  if (!ParseSize(value.data(), value.size(), &id.sequence)) {
    *why = "[Identity] Sequence '" + value.substr(0, 40) + "' is not a whole number below 2^64";
    return IdentityData::kMalformed;
  }
  if (!IdentityValue(lines, "Expires", &value)) {
    *why = "[Identity] has no Expires";
    return IdentityData::kMalformed;
  }
  if (!ParseUtcDate(value.data(), value.size(), &id.expiresYear, &id.expiresMonth, &id.expiresDay)) {
    *why = "[Identity] Expires '" + value.substr(0, 40) + "' is not a date YYYY-MM-DD";
    return IdentityData::kMalformed;
  }
  *identity = id;
  return IdentityData::kPresent;
}

std::string FormatSetIdentity(const SetIdentity& id) {
  return std::string("[") + kIdentitySection + "]\r\nFolder=" + id.folder + "\r\nCadSystem=" + id.cadSystem +
         "\r\nVersion=" + id.version + "\r\nSequence=" + std::to_string(id.sequence) +
         "\r\nExpires=" + FormatUtcDate(id.expiresYear, id.expiresMonth, id.expiresDay) + "\r\n";
}

IdentityVerdict CheckSetIdentity(IdentityData data, const SetIdentity& id, const IdentityExpectation& expect,
                                 std::string* detail) {
  std::string ignored;
  std::string* out = detail ? detail : &ignored;
  if (data == IdentityData::kAbsent) {
    *out = "identity check: Sign.ini has no [Identity] section";
    return IdentityVerdict::kMissing;
  }
  if (data != IdentityData::kPresent) {
    *out = "identity check: Sign.ini's [Identity] section cannot be read";
    return IdentityVerdict::kMalformed;
  }
  if (id.folder != expect.folder) {
    *out = "identity check: folder: the set is signed for '" + id.folder + "', it was fetched from '" + expect.folder + "'";
    return IdentityVerdict::kFolder;
  }
  if (id.cadSystem != expect.cadSystem) {
    *out = "identity check: CadSystem: the set is signed for '" + id.cadSystem + "', Install.ini says '" +
           expect.cadSystem + "'";
    return IdentityVerdict::kCadSystem;
  }
  if (id.version != expect.version) {
    *out = "identity check: Version: the set is signed for '" + id.version + "', Install.ini says '" + expect.version + "'";
    return IdentityVerdict::kVersion;
  }
  const std::string expires = FormatUtcDate(id.expiresYear, id.expiresMonth, id.expiresDay);
  const std::string today = FormatUtcDate(expect.year, expect.month, expect.day);
  if (DayNumber(expect.year, expect.month, expect.day) > DayNumber(id.expiresYear, id.expiresMonth, id.expiresDay)) {
    *out = "identity check: Expires: the set expired on " + expires + ", today (UTC) is " + today;
    return IdentityVerdict::kExpired;
  }
  if (id.sequence < expect.minSequence) {
    *out = "identity check: Sequence: the set has " + std::to_string(id.sequence) + ", this installer accepts " +
           std::to_string(expect.minSequence) + " or more";
    return IdentityVerdict::kSequence;
  }
  *out = "identity check: good (folder '" + id.folder + "', " + id.cadSystem + " " + id.version + ", sequence " +
         std::to_string(id.sequence) + ", expires " + expires + ", today " + today + ")";
  return IdentityVerdict::kGood;
}

std::string DescribeHashMismatch(const HashEntry& expected, uint64_t size, const unsigned char sha256[kSha256Size]) {
  if (size != expected.size) {
    return "size " + std::to_string(size) + " bytes, the hash data says " + std::to_string(expected.size);
  }
  if (memcmp(sha256, expected.sha256, kSha256Size) != 0) {
    return "SHA-256 " + HexText(sha256, kSha256Size) + ", the hash data says " + HexText(expected.sha256, kSha256Size);
  }
  return "";
}
