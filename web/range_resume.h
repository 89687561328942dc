// Continuing a cut file with an HTTP range request instead of fetching it again from byte 0.
//
// The staging file holds content bytes; the server holds the stored file. For a file stored with filler
// bytes (a filler before every content byte) n staged content bytes are the first 2n stored bytes, so
// the rest begins at the even server offset 2n and a fresh filler decoder reads it correctly.
#pragma once
#include <cstddef>
#include <cstdint>

// A Content-Range of a partial answer: "bytes FIRST-LAST/TOTAL" (TOTAL may be "*", unknown).
struct ContentRange {
  uint64_t first;
  uint64_t last;
  uint64_t total;
  bool totalKnown;
};

// false for anything else, "bytes */TOTAL" (the form of an unsatisfiable answer) included, and for
// ranges that contradict themselves (LAST < FIRST, LAST >= TOTAL).
bool ParseContentRange(const char* text, ContentRange* range);

// The server offset at which the rest of a file begins, given the content bytes already staged.
uint64_t ResumeServerOffset(uint64_t stagedContentBytes, bool filler);

// The validator that guards a range request (If-Range): the first answer's ETag when it is a strong one
// (a weak "W/..." one may not be used there), else its Last-Modified. false when it gave neither: a
// range request would then risk splicing two versions of the file, so the file starts again at byte 0.
bool ChooseIfRangeValidator(const char* etag, const char* lastModified, char* validator, size_t validatorSize);

// "Range: bytes=OFFSET-\r\nIf-Range: VALIDATOR\r\n": the headers of a request for the rest of a file.
bool FormResumeHeaders(uint64_t serverOffset, const char* validator, char* headers, size_t headersSize);

enum class RangeAnswer {
  kAppend,   // 206 for exactly the rest of the same file: append the body to the staged bytes
  kWhole,    // 200: the server ignored the range or the file changed (If-Range): the body is the whole
             // file; the staged bytes are dropped and the file is written again from byte 0
  kDiscard,  // a range answer that does not fit what was asked (or 416): drop the staged bytes and let
             // the next attempt fetch the whole file; never append such a body
  kStatus,   // any other status: the retry policy judges it
};

// What the answer to a range request for the rest of a file from serverOffset means.
// contentRange: the answer's Content-Range (nullptr when it has none). knownTotal: the stored file's
// length from the first answer. firstEtag / answerEtag: the ETags of the first answer and of this one
// (nullptr or "" when absent): a 206 whose ETag differs is another file, whatever the server made of
// If-Range.
RangeAnswer JudgeRangeAnswer(uint64_t serverOffset, int64_t status, const char* contentRange,
                             uint64_t contentLength, uint64_t knownTotal, const char* firstEtag,
                             const char* answerEtag);

// Counts each content byte of a file once in the progress display, however often it is fetched: a file
// that starts again from byte 0 is counted again only beyond the most that was staged before.
class ProgressLedger {
 public:
  // The staging file now holds `staged` content bytes: how many bytes the display must add.
  uint64_t Credit(uint64_t staged) {
    if (staged <= credited_) return 0;
    uint64_t add = staged - credited_;
    credited_ = staged;
    return add;
  }
  uint64_t credited() const { return credited_; }

 private:
  uint64_t credited_ = 0;
};
