#include "web/range_resume.h"

#include <cinttypes>
#include <cstdio>
#include <cstring>

#include "base/text.h"

namespace {

// Decimal digits into *value; false without a digit or when the number passes 2^63.
bool ReadUnsigned(const char*& p, uint64_t* value) {
  uint64_t v = 0;
  const char* start = p;
  while (*p >= '0' && *p <= '9') {
    if (v > (UINT64_C(1) << 62) / 10) return false;
    v = v * 10 + static_cast<uint64_t>(*p - '0');
    ++p;
  }
  if (p == start) return false;
  *value = v;
  return true;
}

bool SameText(const char* a, const char* b) {
  return strcmp(a != nullptr ? a : "", b != nullptr ? b : "") == 0;
}

}  // namespace

bool ParseContentRange(const char* text, ContentRange* range) {
  if (text == nullptr) return false;
  const char* p = text;
  while (*p == ' ' || *p == '\t') ++p;
  // The unit is case-insensitive; one or more blanks follow it.
  if (!((p[0] == 'b' || p[0] == 'B') && (p[1] == 'y' || p[1] == 'Y') && (p[2] == 't' || p[2] == 'T') &&
        (p[3] == 'e' || p[3] == 'E') && (p[4] == 's' || p[4] == 'S') && p[5] == ' ')) {
    return false;
  }
  p += 5;
  while (*p == ' ') ++p;
  ContentRange r{};
  if (!ReadUnsigned(p, &r.first) || *p++ != '-' || !ReadUnsigned(p, &r.last) || *p++ != '/') return false;
  if (*p == '*') {
    ++p;
    r.totalKnown = false;
  } else {
    if (!ReadUnsigned(p, &r.total)) return false;
    r.totalKnown = true;
  }
  while (*p == ' ' || *p == '\t') ++p;
  if (*p != '\0' || r.last < r.first || (r.totalKnown && r.last >= r.total)) return false;
  *range = r;
  return true;
}

uint64_t ResumeServerOffset(uint64_t stagedContentBytes, bool filler) {
  return filler ? stagedContentBytes * 2 : stagedContentBytes;
}

bool ChooseIfRangeValidator(const char* etag, const char* lastModified, char* validator, size_t validatorSize) {
  if (validatorSize == 0) return false;
  validator[0] = '\0';
  // A strong entity tag is a quoted string; "W/" marks a weak one.
  const char* chosen = nullptr;
  if (etag != nullptr && etag[0] == '"' && strlen(etag) >= 2 && etag[strlen(etag) - 1] == '"') {
    chosen = etag;
  } else if (lastModified != nullptr && lastModified[0] != '\0') {
    chosen = lastModified;
  }
  // A validator cut to fit would never match: none then.
  if (chosen == nullptr || !CopyText(validator, validatorSize, chosen)) {
    validator[0] = '\0';
    return false;
  }
  return true;
}

bool FormResumeHeaders(uint64_t serverOffset, const char* validator, char* headers, size_t headersSize) {
  if (validator == nullptr || validator[0] == '\0' || strpbrk(validator, "\r\n") != nullptr) return false;
  int n = snprintf(headers, headersSize, "Range: bytes=%" PRIu64 "-\r\nIf-Range: ", serverOffset);
  if (n < 0 || static_cast<size_t>(n) >= headersSize) return false;
  return AppendText(headers, headersSize, validator) && AppendText(headers, headersSize, "\r\n");
}

RangeAnswer JudgeRangeAnswer(uint64_t serverOffset, int64_t status, const char* contentRange,
                             uint64_t contentLength, uint64_t knownTotal, const char* firstEtag,
                             const char* answerEtag) {
  if (status == 200) return RangeAnswer::kWhole;
  if (status == 416) return RangeAnswer::kDiscard;
  if (status != 206) return RangeAnswer::kStatus;
  ContentRange r{};
  if (!ParseContentRange(contentRange, &r)) return RangeAnswer::kDiscard;
  bool fits = r.first == serverOffset && r.totalKnown && r.total == knownTotal && r.last == knownTotal - 1 &&
              contentLength == r.last - r.first + 1;
  // The ETags are compared only when both answers carry one: a server may leave it off partial answers.
  bool etagKnown = firstEtag != nullptr && firstEtag[0] != '\0' && answerEtag != nullptr && answerEtag[0] != '\0';
  if (etagKnown && !SameText(firstEtag, answerEtag)) return RangeAnswer::kDiscard;
  return fits ? RangeAnswer::kAppend : RangeAnswer::kDiscard;
}
