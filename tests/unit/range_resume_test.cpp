// How a cut file is continued: the Content-Range answer, the server offset of a filler file, the If-Range
// validator and the request's headers, the verdict on a range answer, and the ledger that counts each
// byte once for the display.
#include <gtest/gtest.h>

#include "web/range_resume.h"

namespace {

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

}  // namespace
