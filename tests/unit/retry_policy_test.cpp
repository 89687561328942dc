// Which failures of a transfer are retried and how long the installer waits: the transient faults, the
// backoff with its jitter, Retry-After in both forms (HTTP dates too), the server's hint over the backoff,
// and a certificate failure told from a connection failure.
#include <gtest/gtest.h>

#include <string>

#include "web/retry_policy.h"

namespace {

struct FaultCase {
  TransferFault fault;
  int64_t status;
  bool transient;
};

const FaultCase kFaultCases[] = {
    {TransferFault::kConnectFailed, 0, true},
    {TransferFault::kReadFailed, 0, true},
    {TransferFault::kCutBody, 200, true},
    {TransferFault::kStalled, 200, true},
    {TransferFault::kRangeMismatch, 206, true},
    {TransferFault::kHttpStatus, 408, true},
    {TransferFault::kHttpStatus, 429, true},
    {TransferFault::kHttpStatus, 500, true},
    {TransferFault::kHttpStatus, 502, true},
    {TransferFault::kHttpStatus, 503, true},
    {TransferFault::kHttpStatus, 504, true},
    {TransferFault::kHttpStatus, 403, false},
    {TransferFault::kHttpStatus, 404, false},
    {TransferFault::kHttpStatus, 410, false},
    {TransferFault::kHttpStatus, 501, false},
    {TransferFault::kHttpStatus, 505, false},
    {TransferFault::kHttpStatus, 401, false},
    {TransferFault::kHttpStatus, 0, false},
    {TransferFault::kHashMismatch, 200, false},
    {TransferFault::kBadAnswer, 200, false},
    {TransferFault::kLocal, 200, false},
    {TransferFault::kNone, 200, false},
};

TEST(RetryPolicy, TransientFaultsOnly) {
  for (const FaultCase& c : kFaultCases) {
    EXPECT_EQ(IsTransientFault(c.fault, c.status), c.transient)
        << "fault " << static_cast<int>(c.fault) << " status " << c.status;
  }
}

TEST(RetryPolicy, BackoffGrowsWithJitterWithinAQuarter) {
  // (failed attempts, base): the random value 0 gives 3/4 of the base, the largest 5/4, the middle 1.
  const struct {
    int failed;
    uint32_t base;
  } kCases[] = {{1, 1000}, {2, 2000}, {3, 4000}, {4, 8000}, {7, 8000}, {0, 1000}};
  for (const auto& c : kCases) {
    EXPECT_EQ(BackoffDelayMs(c.failed, 0), c.base * 3 / 4) << c.failed;
    EXPECT_EQ(BackoffDelayMs(c.failed, 0x80000000u), c.base) << c.failed;
    uint32_t top = BackoffDelayMs(c.failed, 0xFFFFFFFFu);
    EXPECT_LT(top, c.base * 5 / 4) << c.failed;
    EXPECT_GE(top, c.base * 5 / 4 - 1) << c.failed;
  }
  // Different random values give different waits: clients refused together spread out.
  EXPECT_NE(BackoffDelayMs(2, 12345u), BackoffDelayMs(2, 3000000000u));
}

TEST(RetryPolicy, HttpDatesInAllThreeForms) {
  const struct {
    const char* text;
    bool ok;
    int64_t unix;
  } kCases[] = {
      {"Sun, 06 Nov 1994 08:49:37 GMT", true, 784111777},
      {"Sunday, 06-Nov-94 08:49:37 GMT", true, 784111777},
      {"Sun Nov  6 08:49:37 1994", true, 784111777},
      {"Thu, 10 Dec 2026 13:07:57 GMT", true, 1796908077},
      {"Thu, 01 Jan 1970 00:00:00 GMT", true, 0},
      {"Tue, 29 Feb 2028 23:59:59 GMT", true, 1835481599},
      {"  Sun, 06 Nov 1994 08:49:37 GMT  ", true, 784111777},
      {"Sun, 06 Nov 1994 08:49:37", false, 0},      // no zone
      {"Sun, 06 Nov 1994 08:49:37 CET", false, 0},  // only GMT is an HTTP date
      {"Sun, 32 Nov 1994 08:49:37 GMT", false, 0},
      {"Sun, 06 Foo 1994 08:49:37 GMT", false, 0},
      {"Sun, 06 Nov 1994 24:00:00 GMT", false, 0},
      {"Sun, 6 Nov 1994 08:49:37 GMT", false, 0},
      {"Sun Nov  6 08:49:37", false, 0},
      {"Sun", false, 0},
      {"", false, 0},
      {"120", false, 0},
  };
  for (const auto& c : kCases) {
    int64_t got = -1;
    EXPECT_EQ(ParseHttpDate(c.text, &got), c.ok) << c.text;
    if (c.ok) {
      EXPECT_EQ(got, c.unix) << c.text;
    }
  }
  int64_t unused = 0;
  EXPECT_FALSE(ParseHttpDate(nullptr, &unused));
}

TEST(RetryPolicy, RetryAfterBothFormsCutAtSixtySeconds) {
  const int64_t now = 784111777;  // Sun, 06 Nov 1994 08:49:37 GMT
  const struct {
    const char* value;
    bool ok;
    uint32_t ms;
  } kCases[] = {
      {"2", true, 2000},
      {" 0 ", true, 0},
      {"60", true, 60000},
      {"61", true, 60000},
      {"86400", true, 60000},
      {"99999999999999999999", true, 60000},
      {"Sun, 06 Nov 1994 08:49:47 GMT", true, 10000},  // ten seconds from now
      {"Sun, 06 Nov 1994 08:59:37 GMT", true, 60000},  // ten minutes: cut
      {"Sun, 06 Nov 1994 08:49:00 GMT", true, 0},      // already past
      {"-5", false, 0},
      {"2.5", false, 0},
      {"soon", false, 0},
      {"", false, 0},
  };
  for (const auto& c : kCases) {
    uint32_t ms = 12345;
    EXPECT_EQ(ParseRetryAfter(c.value, now, &ms), c.ok) << c.value;
    if (c.ok) {
      EXPECT_EQ(ms, c.ms) << c.value;
    }
  }
}

// A certificate failure of the HTTPS host is told from a connection failure (only the first stops the
// fallback to HTTP in a build without a key).
TEST(RetryPolicy, CertificateFailuresToldFromConnectionFailures) {
  struct Case {
    unsigned long error;
    const char* problem;  // part of the name, or nullptr: not a certificate failure
  };
  const Case cases[] = {
      {12045, "not trusted"},          // ERROR_INTERNET_INVALID_CA
      {12038, "another host name"},    // ERROR_INTERNET_SEC_CERT_CN_INVALID
      {12037, "expired"},              // ERROR_INTERNET_SEC_CERT_DATE_INVALID
      {12170, "revoked"},              // ERROR_INTERNET_SEC_CERT_REVOKED
      {12057, "revocation"},           // ERROR_INTERNET_SEC_CERT_REV_FAILED
      {12169, "not valid"},            // ERROR_INTERNET_SEC_INVALID_CERT
      {12055, "errors"},               // ERROR_INTERNET_SEC_CERT_ERRORS
      {12029, nullptr},                // ERROR_INTERNET_CANNOT_CONNECT: refused
      {12030, nullptr},                // ERROR_INTERNET_CONNECTION_ABORTED
      {12031, nullptr},                // ERROR_INTERNET_CONNECTION_RESET
      {12002, nullptr},                // ERROR_INTERNET_TIMEOUT
      {12157, nullptr},                // ERROR_INTERNET_SECURITY_CHANNEL_ERROR: no TLS in common
      {12007, nullptr},                // ERROR_INTERNET_NAME_NOT_RESOLVED
      {0, nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.error);
    const char* problem = CertificateProblem(c.error);
    if (c.problem == nullptr) {
      EXPECT_EQ(problem, nullptr);
    } else {
      ASSERT_NE(problem, nullptr);
      EXPECT_NE(std::string(problem).find(c.problem), std::string::npos) << problem;
    }
  }
}

TEST(RetryPolicy, ServersHintWinsOverTheBackoff) {
  EXPECT_EQ(RetryDelayMs(1, true, 2000, 0xFFFFFFFFu), 2000u);
  EXPECT_EQ(RetryDelayMs(4, true, 0, 0), 0u);
  EXPECT_EQ(RetryDelayMs(1, true, 900000, 0), kMaxRetryAfterMs);
  EXPECT_EQ(RetryDelayMs(3, false, 2000, 0x80000000u), 4000u);
}

}  // namespace
