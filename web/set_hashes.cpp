#include "web/set_hashes.h"

#include <cstring>

#include "web/ini_lines.h"

const char kSignFileName[] = "Sign.ini";
const char kHashSection[] = "Hashes";
const char kSignatureSection[] = "Signature";
const char kSignatureAlgorithm[] = "ECDSA-P256-SHA256";

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
// - A Sign.ini that is served must be whole and readable: its hashes are what the description and the
//   lists are checked against, so a damaged one is refused like a damaged file (also without a key).
// - With a key, a signature that is malformed or does not verify is refused: someone changed the set
//   or signed it with another key.
// - A signature without a key to check it is ignored: the hashes are still checked.
// - An unsigned set (no Sign.ini, or no signature in it, or no key) is accepted as before, unless the
//   build requires signed sets and the set came over plain HTTP: that is the fallback a network
//   attacker forces by blocking HTTPS.
SetTrust DecideSetTrust(const TrustInputs& in) {
  bool unsignedAllowed = !(in.requireSigned && !in.https);
  if (!in.signFileFound) return unsignedAllowed ? SetTrust::kUnsigned : SetTrust::kRefused;
  if (in.hashes != HashData::kPresent) return SetTrust::kRefused;
  if (in.haveKey && in.signature == SignatureData::kMalformed) return SetTrust::kRefused;
  if (in.haveKey && in.signature == SignatureData::kPresent) {
    return in.check == SignatureCheck::kGood ? SetTrust::kSigned : SetTrust::kRefused;
  }
  return unsignedAllowed ? SetTrust::kUnsigned : SetTrust::kRefused;
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
