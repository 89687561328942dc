// The pure decisions of a download that survives real networks: which failures are retried and how
// long the installer waits, how a cut file is continued, how much disk space a set needs, and the
// Hungarian texts of these situations.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "web/network_texts.h"
#include "web/range_resume.h"
#include "web/retry_policy.h"
#include "web/space_check.h"

namespace {

// ---- Retry policy ----

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

// ---- Resuming with ranges ----

TEST(RangeResume, ContentRangeTable) {
  const struct {
    const char* text;
    bool ok;
    uint64_t first, last, total;
    bool totalKnown;
  } kCases[] = {
      {"bytes 100-999/1000", true, 100, 999, 1000, true},
      {"bytes 0-0/1", true, 0, 0, 1, true},
      {"Bytes  5-9/*", true, 5, 9, 0, false},
      {"bytes 4294967296-8589934591/8589934592", true, 4294967296u, 8589934591u, 8589934592u, true},
      {"bytes */1000", false, 0, 0, 0, false},
      {"bytes 100-99/1000", false, 0, 0, 0, false},
      {"bytes 100-1000/1000", false, 0, 0, 0, false},
      {"bytes 100-/1000", false, 0, 0, 0, false},
      {"bytes=100-999/1000", false, 0, 0, 0, false},
      {"items 1-2/3", false, 0, 0, 0, false},
      {"bytes 1-2/3x", false, 0, 0, 0, false},
      {"bytes 99999999999999999999-1/2", false, 0, 0, 0, false},
      {"", false, 0, 0, 0, false},
  };
  for (const auto& c : kCases) {
    ContentRange r{7, 7, 7, true};
    EXPECT_EQ(ParseContentRange(c.text, &r), c.ok) << c.text;
    if (!c.ok) continue;
    EXPECT_EQ(r.first, c.first) << c.text;
    EXPECT_EQ(r.last, c.last) << c.text;
    EXPECT_EQ(r.totalKnown, c.totalKnown) << c.text;
    if (c.totalKnown) {
      EXPECT_EQ(r.total, c.total) << c.text;
    }
  }
}

TEST(RangeResume, FillerFilesResumeAtAnEvenServerOffset) {
  EXPECT_EQ(ResumeServerOffset(0, false), 0u);
  EXPECT_EQ(ResumeServerOffset(12345, false), 12345u);
  EXPECT_EQ(ResumeServerOffset(0, true), 0u);
  EXPECT_EQ(ResumeServerOffset(12345, true), 24690u);
  EXPECT_EQ(ResumeServerOffset(3000000000u, true), 6000000000u);  // past 32 bits
}

TEST(RangeResume, ValidatorAndHeaders) {
  char v[64];
  const struct {
    const char* etag;
    const char* lastModified;
    bool ok;
    const char* chosen;
  } kCases[] = {
      {"\"abc\"", "Sun, 06 Nov 1994 08:49:37 GMT", true, "\"abc\""},
      {"W/\"abc\"", "Sun, 06 Nov 1994 08:49:37 GMT", true, "Sun, 06 Nov 1994 08:49:37 GMT"},
      {"W/\"abc\"", "", false, ""},
      {nullptr, nullptr, false, ""},
      {"abc", nullptr, false, ""},  // not a quoted tag
      {"\"", nullptr, false, ""},
      {"\"a-tag-much-longer-than-the-sixty-four-byte-buffer-it-must-go-into\"", nullptr, false, ""},
  };
  for (const auto& c : kCases) {
    EXPECT_EQ(ChooseIfRangeValidator(c.etag, c.lastModified, v, sizeof v), c.ok) << (c.etag ? c.etag : "-");
    EXPECT_STREQ(v, c.chosen);
  }
  char h[128];
  ASSERT_TRUE(FormResumeHeaders(24690, "\"abc\"", h, sizeof h));
  EXPECT_STREQ(h, "Range: bytes=24690-\r\nIf-Range: \"abc\"\r\n");
  ASSERT_TRUE(FormResumeHeaders(6000000000u, "Sun, 06 Nov 1994 08:49:37 GMT", h, sizeof h));
  EXPECT_STREQ(h, "Range: bytes=6000000000-\r\nIf-Range: Sun, 06 Nov 1994 08:49:37 GMT\r\n");
  EXPECT_FALSE(FormResumeHeaders(1, "", h, sizeof h));                  // never a range without a guard
  EXPECT_FALSE(FormResumeHeaders(1, "\"a\"\r\nX-Evil: 1", h, sizeof h));  // no header injection
  EXPECT_FALSE(FormResumeHeaders(1, "\"abc\"", h, 24));                  // does not fit
}

TEST(RangeResume, AnswersToARangeRequest) {
  const char* e = "\"v1\"";
  const struct {
    const char* what;
    uint64_t offset;
    int64_t status;
    const char* contentRange;
    uint64_t length;
    const char* answerEtag;
    RangeAnswer answer;
  } kCases[] = {
      {"the rest", 400, 206, "bytes 400-999/1000", 600, e, RangeAnswer::kAppend},
      {"the rest, no ETag on the partial answer", 400, 206, "bytes 400-999/1000", 600, nullptr,
       RangeAnswer::kAppend},
      {"range ignored", 400, 200, nullptr, 1000, e, RangeAnswer::kWhole},
      {"file changed, If-Range failed", 400, 200, nullptr, 900, "\"v2\"", RangeAnswer::kWhole},
      {"another start", 400, 206, "bytes 0-999/1000", 1000, e, RangeAnswer::kDiscard},
      {"not to the end", 400, 206, "bytes 400-499/1000", 100, e, RangeAnswer::kDiscard},
      {"another total: the file changed", 400, 206, "bytes 400-1199/1200", 800, e, RangeAnswer::kDiscard},
      {"another ETag: the file changed", 400, 206, "bytes 400-999/1000", 600, "\"v2\"", RangeAnswer::kDiscard},
      {"length and range disagree", 400, 206, "bytes 400-999/1000", 500, e, RangeAnswer::kDiscard},
      {"unknown total", 400, 206, "bytes 400-999/*", 600, e, RangeAnswer::kDiscard},
      {"no Content-Range", 400, 206, nullptr, 600, e, RangeAnswer::kDiscard},
      {"unsatisfiable", 400, 416, "bytes */300", 0, e, RangeAnswer::kDiscard},
      {"server busy", 400, 503, nullptr, 10, e, RangeAnswer::kStatus},
      {"gone", 400, 404, nullptr, 10, e, RangeAnswer::kStatus},
  };
  for (const auto& c : kCases) {
    EXPECT_EQ(JudgeRangeAnswer(c.offset, c.status, c.contentRange, c.length, 1000, e, c.answerEtag), c.answer)
        << c.what;
  }
}

TEST(RangeResume, LedgerCountsEveryByteOnce) {
  // (staged content after each write, bytes the display gains): a cut at 300, a resume to 700, a
  // restart from 0 (nothing counted until it passes 700), then the end at 1000.
  const struct {
    uint64_t staged;
    uint64_t add;
  } kSteps[] = {{100, 100}, {300, 200}, {500, 200}, {700, 200}, {0, 0},    {200, 0},
                {700, 0},   {701, 1},   {1000, 299}, {1000, 0}};
  ProgressLedger ledger;
  uint64_t total = 0;
  for (const auto& s : kSteps) {
    uint64_t add = ledger.Credit(s.staged);
    EXPECT_EQ(add, s.add) << s.staged;
    total += add;
  }
  EXPECT_EQ(total, 1000u);
  EXPECT_EQ(ledger.credited(), 1000u);
}

// ---- Free space ----

TEST(SpaceCheck, SelectedBytesFromTheDescription) {
  RemoteDescription remote{};
  remote.discs[0].present[0] = 1;
  remote.discs[0].size[0] = 1000;
  remote.discs[0].present[1] = 1;
  remote.discs[0].size[1] = 2147483647;
  remote.discs[2].present[6] = 1;
  remote.discs[2].size[6] = 5;
  remote.discs[3].size[2] = 777;     // not present (not selected, or not on the disc): not counted
  remote.discs[4].present[3] = 1;
  remote.discs[4].size[3] = -40;     // a negative size counts as nothing
  EXPECT_EQ(SelectedSetBytes(remote), 1000u + 2147483647u + 5u);
}

TEST(SpaceCheck, NeedsPerDrive) {
  const uint64_t m = kSpaceMarginBytes;
  const struct {
    const char* what;
    char target, windows;
    uint64_t set, windowsBytes;
    int count;
    DriveNeed first, second;
  } kCases[] = {
      {"target is the Windows drive", 'C', 'C', 1000, 100, 1, {'C', 2000 + m}, {0, 0}},
      {"other drives", 'D', 'C', 1000, 100, 2, {'D', 1900 + m}, {'C', 100 + m}},
      {"Windows share unknown", 'D', 'C', 1000, 0, 2, {'D', 2000 + m}, {'C', m}},
      {"letters in either case", 'd', 'c', 10, 0, 2, {'D', 20 + m}, {'C', m}},
      {"same drive in another case", 'c', 'C', 10, 4, 1, {'C', 20 + m}, {0, 0}},
      {"Windows folder unknown", 'T', 0, 10, 4, 1, {'T', 16 + m}, {0, 0}},
      {"more Windows bytes than the set", 'D', 'C', 10, 50, 2, {'D', 10 + m}, {'C', 10 + m}},
      {"past 4 GB", 'T', 'C', 3000000000u, 0, 2, {'T', 6000000000u + m}, {'C', m}},
  };
  for (const auto& c : kCases) {
    DriveNeed needs[2] = {{'?', 1}, {'?', 1}};
    ASSERT_EQ(ComputeSpaceNeeds(c.target, c.windows, c.set, c.windowsBytes, SpaceOnDisk{}, needs), c.count) << c.what;
    EXPECT_EQ(needs[0].drive, c.first.drive) << c.what;
    EXPECT_EQ(needs[0].bytes, c.first.bytes) << c.what;
    if (c.count == 2) {
      EXPECT_EQ(needs[1].drive, c.second.drive) << c.what;
      EXPECT_EQ(needs[1].bytes, c.second.bytes) << c.what;
    }
  }
}

// A repeated run counts only what it writes: the files an earlier run staged or installed are kept or
// replaced in place, so each copy needs the set's bytes less those already on the target drive.
TEST(SpaceCheck, FilesAlreadyOnTheDiskNeedNoNewRoom) {
  const uint64_t m = kSpaceMarginBytes;
  const struct {
    const char* what;
    uint64_t set, windowsBytes, staged, installed;
    char windows;
    uint64_t target, windowsNeed;
  } kCases[] = {
      {"nothing there yet", 1000, 0, 0, 0, 'C', 2000 + m, m},
      {"a repair: all staged and installed", 1000, 0, 1000, 1000, 'C', m, m},
      {"staged whole, nothing installed", 1000, 0, 1000, 0, 'C', 1000 + m, m},
      {"half staged, half installed", 1000, 0, 500, 500, 'C', 1000 + m, m},
      {"a file grew: only the growth", 1000, 0, 990, 990, 'C', 20 + m, m},
      {"older files larger than the new ones: never below nothing", 1000, 0, 1500, 4000, 'C', m, m},
      {"Windows share stays on its drive", 1000, 100, 1000, 900, 'C', m, 100 + m},
      {"same drive as Windows", 1000, 100, 1000, 900, 'D', 100 + m, 0},
  };
  for (const auto& c : kCases) {
    DriveNeed needs[2] = {{'?', 1}, {'?', 1}};
    SpaceOnDisk onDisk;
    onDisk.staged = c.staged;
    onDisk.installed = c.installed;
    const int count = ComputeSpaceNeeds('D', c.windows, c.set, c.windowsBytes, onDisk, needs);
    EXPECT_EQ(needs[0].drive, 'D') << c.what;
    EXPECT_EQ(needs[0].bytes, c.target) << c.what;
    if (c.windows == 'D') {
      EXPECT_EQ(count, 1) << c.what;
    } else {
      ASSERT_EQ(count, 2) << c.what;
      EXPECT_EQ(needs[1].bytes, c.windowsNeed) << c.what;
    }
  }
}

TEST(SpaceCheck, DriveLettersAndMegabytes) {
  EXPECT_EQ(DriveOfPath("C:\\windows"), 'C');
  EXPECT_EQ(DriveOfPath("t:\\"), 'T');
  EXPECT_EQ(DriveOfPath("\\\\server\\share"), 0);
  EXPECT_EQ(DriveOfPath("1:\\x"), 0);
  EXPECT_EQ(DriveOfPath(""), 0);
  EXPECT_EQ(DriveOfPath(nullptr), 0);
  EXPECT_EQ(MegabytesUp(0), 0u);
  EXPECT_EQ(MegabytesUp(1), 1u);
  EXPECT_EQ(MegabytesUp(1048576), 1u);
  EXPECT_EQ(MegabytesUp(1048577), 2u);
  EXPECT_EQ(MegabytesDown(1048575), 0u);
  EXPECT_EQ(MegabytesDown(2097152), 2u);
}

// ---- Texts ----

// The string table's texts these fill (IDS_RETRY, IDS_RETRY_WAIT, IDS_NO_SPACE, IDS_FILE_NOT_DOWNLOADED);
// the Windows tests check that the table holds these very bytes.
const char kRetryText[] = "\xfajrapr\xf3" "b\xe1l\xe1s %d/%d ... ";              // "újrapróbálás %d/%d ... "
const char kRetryWaitText[] = "\xfajrapr\xf3" "b\xe1l\xe1s %d/%d ... (%d mp) ";  // "... (%d mp) "
// "Nincs elég szabad hely a(z) %s meghajtón!\r\nA telepítéshez szükséges: %d MB, szabad: %d MB"
const char kNoSpaceText[] =
    "Nincs el\xe9g szabad hely a(z) %s meghajt\xf3n!\r\nA telep\xedt\xe9shez sz\xfcks\xe9ges: %d MB, szabad: %d MB";
// "A(z) ' %s ' fájl letöltése a WEB-ről sikertelen, a telepítés megszakad!"
const char kFileFailedText[] =
    "A(z) ' %s ' f\xe1jl let\xf6lt\xe9se a WEB-r\xf5l sikertelen, a telep\xedt\xe9s megszakad!";

TEST(NetworkTexts, RetryStatus) {
  char t[256];
  FormatRetryStatus(kRetryText, 3, 5, 0, "https://... .../KelvaranDemo/Disc_01/big.dat", t, sizeof t);
  // "újrapróbálás 3/5 ... https://... .../KelvaranDemo/Disc_01/big.dat"
  EXPECT_STREQ(t, "\xfajrapr\xf3" "b\xe1l\xe1s 3/5 ... https://... .../KelvaranDemo/Disc_01/big.dat");
  FormatRetryStatus(kRetryWaitText, 2, 5, 4, "x", t, sizeof t);
  EXPECT_STREQ(t, "\xfajrapr\xf3" "b\xe1l\xe1s 2/5 ... (4 mp) x");  // "újrapróbálás 2/5 ... (4 mp) x"
  // The file's name is inserted, never read as a format.
  FormatRetryStatus(kRetryWaitText, 1, 5, 60, "%s%d%n", t, sizeof t);
  EXPECT_STREQ(t, "\xfajrapr\xf3" "b\xe1l\xe1s 1/5 ... (60 mp) %s%d%n");
  char small[20];
  FormatRetryStatus(kRetryWaitText, 2, 5, 60, std::string(300, 'a').c_str(), small, sizeof small);
  EXPECT_EQ(strlen(small), sizeof small - 1);  // cut, terminated
}

TEST(NetworkTexts, SpaceShortage) {
  char t[256];
  FormatSpaceShortage(kNoSpaceText, 'T', 30 * 1048576u + 1, 7 * 1048576u + 1048575u, t, sizeof t);
  // "Nincs elég szabad hely a(z) T: meghajtón!\r\nA telepítéshez szükséges: 31 MB, szabad: 7 MB"
  EXPECT_STREQ(t,
               "Nincs el\xe9g szabad hely a(z) T: meghajt\xf3n!\r\n"
               "A telep\xedt\xe9shez sz\xfcks\xe9ges: 31 MB, szabad: 7 MB");
  // Sizes beyond what an int holds come out whole (4 PB free).
  FormatSpaceShortage(kNoSpaceText, 'C', 1048576u, uint64_t(1) << 52, t, sizeof t);
  EXPECT_NE(std::string(t).find(": 1 MB, szabad: 4294967296 MB"), std::string::npos) << t;
}

TEST(NetworkTexts, FileFailed) {
  // "A(z) ' " + name + " ' fájl letöltése a WEB-ről sikertelen, a telepítés megszakad!"
  const std::string tail = " ' f\xe1jl let\xf6lt\xe9se a WEB-r\xf5l sikertelen, a telep\xedt\xe9s megszakad!";
  const std::string longName = std::string(300, 'n') + ".dat";
  const struct {
    const char* what;
    std::string name;
    size_t size;
    std::string expected;
  } cases[] = {
      {"a plain name", "big.dat", 256, "A(z) ' big.dat" + tail},
      {"a name in a subfolder", "Help\\guide.hlp", 256, "A(z) ' Help\\guide.hlp" + tail},
      {"a name with Hungarian letters", "r\xe9sz\xf5.dat", 256, "A(z) ' r\xe9sz\xf5.dat" + tail},
      // The sentence stays whole; the name gives way (a list's name can fill a whole buffer).
      {"a name too long for the text", longName, 128, "A(z) ' " + std::string(128 - 1 - 7 - tail.size(), 'n') + tail},
      {"no room for any name", "big.dat", 7 + tail.size() + 1, "A(z) ' " + tail},
  };
  for (const auto& c : cases) {
    std::vector<char> text(c.size, '\x7f');
    FormatFileFailed(kFileFailedText, c.name.c_str(), text.data(), text.size());
    EXPECT_EQ(std::string(text.data()), c.expected) << c.what;
    EXPECT_LT(strlen(text.data()), c.size) << c.what;
  }
}

}  // namespace
