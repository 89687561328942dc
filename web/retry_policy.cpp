#include "web/retry_policy.h"

#include <cstring>

bool IsTransientStatus(int64_t status) {
  return status == 408 || status == 429 || status == 500 || status == 502 || status == 503 ||
         status == 504;
}

bool IsTransientFault(TransferFault fault, int64_t status) {
  switch (fault) {
    case TransferFault::kConnectFailed:
    case TransferFault::kReadFailed:
    case TransferFault::kCutBody:
    case TransferFault::kStalled:
    case TransferFault::kRangeMismatch:
      return true;
    case TransferFault::kHttpStatus:
      return IsTransientStatus(status);
    case TransferFault::kNone:
    case TransferFault::kBadAnswer:
    case TransferFault::kLocal:
    case TransferFault::kHashMismatch:
      return false;
  }
  return false;
}

uint32_t BackoffDelayMs(int failedAttempts, uint32_t random) {
  if (failedAttempts < 1) failedAttempts = 1;
  if (failedAttempts > 4) failedAttempts = 4;
  uint32_t base = 1000u << (failedAttempts - 1);  // 1, 2, 4, 8 s
  // base * (0.75 + 0.5 * random / 2^32): from three quarters to five quarters of the base.
  uint64_t spread = (static_cast<uint64_t>(base) / 2u * random) >> 32;
  return base - base / 4u + static_cast<uint32_t>(spread);
}

namespace {

const char* const kMonths[12] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                 "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

// Days since 1970-01-01 of a civil date (proleptic Gregorian).
int64_t DaysFromCivil(int64_t y, int m, int d) {
  y -= m <= 2;
  int64_t era = (y >= 0 ? y : y - 399) / 400;
  int64_t yoe = y - era * 400;
  int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

// Reads exactly `digits` decimal digits (or 1..digits when `exact` is false).
bool ReadNumber(const char*& p, int digits, bool exact, int* value) {
  int n = 0;
  int v = 0;
  while (n < digits && *p >= '0' && *p <= '9') {
    v = v * 10 + (*p - '0');
    ++p;
    ++n;
  }
  if (n == 0 || (exact && n != digits)) return false;
  *value = v;
  return true;
}

bool ReadLiteral(const char*& p, const char* literal) {
  size_t n = strlen(literal);
  if (strncmp(p, literal, n) != 0) return false;
  p += n;
  return true;
}

bool ReadMonth(const char*& p, int* month) {
  for (int i = 0; i < 12; ++i) {
    if (strncmp(p, kMonths[i], 3) == 0) {
      *month = i + 1;
      p += 3;
      return true;
    }
  }
  return false;
}

bool ReadTime(const char*& p, int* h, int* mi, int* s) {
  return ReadNumber(p, 2, true, h) && ReadLiteral(p, ":") && ReadNumber(p, 2, true, mi) &&
         ReadLiteral(p, ":") && ReadNumber(p, 2, true, s);
}

bool Finish(int year, int month, int day, int h, int mi, int s, int64_t* out) {
  static const int kDays[12] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (day < 1 || day > kDays[month - 1] || h > 23 || mi > 59 || s > 60) return false;
  *out = DaysFromCivil(year, month, day) * 86400 + h * 3600 + mi * 60 + s;
  return true;
}

}  // namespace

bool ParseHttpDate(const char* text, int64_t* unixSeconds) {
  if (text == nullptr) return false;
  const char* p = text;
  while (*p == ' ' || *p == '\t') ++p;
  const char* comma = strchr(p, ',');
  int year = 0, month = 0, day = 0, h = 0, mi = 0, s = 0;
  const char* q = nullptr;
  if (comma != nullptr && comma - p == 3) {
    // IMF-fixdate: "Sun, 06 Nov 1994 08:49:37 GMT"
    q = comma + 1;
    if (!(ReadLiteral(q, " ") && ReadNumber(q, 2, true, &day) && ReadLiteral(q, " ") && ReadMonth(q, &month) &&
          ReadLiteral(q, " ") && ReadNumber(q, 4, true, &year) && ReadLiteral(q, " ") && ReadTime(q, &h, &mi, &s) &&
          ReadLiteral(q, " GMT"))) {
      return false;
    }
  } else if (comma != nullptr) {
    // RFC 850: "Sunday, 06-Nov-94 08:49:37 GMT"; a two-digit year is taken as 1970..2069.
    q = comma + 1;
    if (!(ReadLiteral(q, " ") && ReadNumber(q, 2, true, &day) && ReadLiteral(q, "-") && ReadMonth(q, &month) &&
          ReadLiteral(q, "-") && ReadNumber(q, 2, true, &year) && ReadLiteral(q, " ") && ReadTime(q, &h, &mi, &s) &&
          ReadLiteral(q, " GMT"))) {
      return false;
    }
    year += year < 70 ? 2000 : 1900;
  } else {
    // asctime: "Sun Nov  6 08:49:37 1994"
    if (strlen(p) < 3) return false;
    q = p + 3;
    if (!ReadLiteral(q, " ") || !ReadMonth(q, &month) || !ReadLiteral(q, " ")) return false;
    if (*q == ' ') ++q;
    if (!(ReadNumber(q, 2, false, &day) && ReadLiteral(q, " ") && ReadTime(q, &h, &mi, &s) && ReadLiteral(q, " ") &&
          ReadNumber(q, 4, true, &year))) {
      return false;
    }
  }
  while (*q == ' ' || *q == '\t') ++q;
  if (*q != '\0') return false;
  return Finish(year, month, day, h, mi, s, unixSeconds);
}

bool ParseRetryAfter(const char* value, int64_t nowUnixSeconds, uint32_t* delayMs) {
  if (value == nullptr) return false;
  const char* p = value;
  while (*p == ' ' || *p == '\t') ++p;
  int64_t seconds = 0;
  if (*p >= '0' && *p <= '9') {
    while (*p >= '0' && *p <= '9') {
      if (seconds < 1000000) seconds = seconds * 10 + (*p - '0');
      ++p;
    }
    while (*p == ' ' || *p == '\t') ++p;
    if (*p != '\0') return false;
  } else {
    int64_t when = 0;
    if (!ParseHttpDate(p, &when)) return false;
    seconds = when > nowUnixSeconds ? when - nowUnixSeconds : 0;
  }
  *delayMs = seconds * 1000 > kMaxRetryAfterMs ? kMaxRetryAfterMs : static_cast<uint32_t>(seconds * 1000);
  return true;
}

uint32_t RetryDelayMs(int failedAttempts, bool haveRetryAfter, uint32_t retryAfterMs, uint32_t random) {
  if (haveRetryAfter) return retryAfterMs > kMaxRetryAfterMs ? kMaxRetryAfterMs : retryAfterMs;
  return BackoffDelayMs(failedAttempts, random);
}

const char* CertificateProblem(unsigned long winInetError) {
  // WinINet's numbers (wininet.h), so that the decision stays portable.
  switch (winInetError) {
    case 12037: return "the certificate has expired or is not valid yet (ERROR_INTERNET_SEC_CERT_DATE_INVALID)";
    case 12038: return "the certificate is for another host name (ERROR_INTERNET_SEC_CERT_CN_INVALID)";
    case 12045: return "the certificate's authority is not trusted (ERROR_INTERNET_INVALID_CA)";
    case 12055: return "the certificate has errors (ERROR_INTERNET_SEC_CERT_ERRORS)";
    case 12056: return "the certificate's revocation could not be checked (ERROR_INTERNET_SEC_CERT_NO_REV)";
    case 12057: return "the certificate's revocation check failed (ERROR_INTERNET_SEC_CERT_REV_FAILED)";
    case 12169: return "the certificate is not valid (ERROR_INTERNET_SEC_INVALID_CERT)";
    case 12170: return "the certificate has been revoked (ERROR_INTERNET_SEC_CERT_REVOKED)";
    default: return nullptr;
  }
}
