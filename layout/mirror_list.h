// The set's mirror list: other web servers that hold a copy of the set's folder (plain static servers or
// caches), from which the installer may fetch the set's files. It lives in the signed part of Sign.ini
// (before "[Signature]") as a section of its own, which no description lookup of an older installer ever
// reaches:
//   [Mirrors]
//   1=https://mirror-a.example/Download/UpDate-V9.20
//   2=http://mirror-b.example:8080/quarn/UpDate-V9.20
// Each URL is a server directory as on the origin: the set's folder (KelvaranDemo) lies below it. Pure
// text functions, shared by the installer and quarnset (which writes and checks the same lines).
#pragma once
#include <cstddef>
#include <string>
#include <vector>

extern const char kMirrorSection[];  // "Mirrors"

// At most this many mirrors are listed (a list with more is not used).
constexpr size_t kMaxMirrors = 8;
// A mirror's URL is at most this long, so that the set's longest file URLs below it still fit the
// installer's 256-byte buffers.
constexpr size_t kMaxMirrorUrl = 160;

struct MirrorUrl {
  std::string url;   // normalised: the scheme in lower case, no trailing "/"
  bool https = false;
  std::string host;  // as written (lower case compared), without the port
};

enum class MirrorUrlProblem {
  kNone,
  kEmpty,
  kTooLong,
  kControl,    // a control byte, a blank, a backslash or a byte beyond ASCII
  kScheme,     // neither http:// nor https://
  kUserInfo,   // "user:password@" before the host
  kHost,       // no host, or a host of other characters than letters, digits, "." and "-"
  kPort,       // a port that is not 1 to 65535
  kQuery,      // "?" or "#": the URL must be a plain directory
  kDotSegment, // a "." or ".." path segment
};

// Checks one mirror URL; on kNone fills *mirror (when given).
MirrorUrlProblem CheckMirrorUrl(const char* text, size_t length, MirrorUrl* mirror);
// A short English description of a problem, for the log and quarnset's messages.
const char* MirrorUrlProblemText(MirrorUrlProblem problem);

enum class MirrorData {
  kAbsent,     // no [Mirrors] section: the files come from the origin only
  kPresent,    // the section was read whole (it may list no mirror)
  kMalformed,  // a line is not "N=URL" with N counting 1, 2, 3 ..., a URL is refused, one repeats, or
               // there are more than kMaxMirrors: the list is not used
};

// The first [Mirrors] section of a text (header: the first CR LF-ended line beginning with "[Mirrors]").
// Blank lines and lines beginning with ";" are skipped; the section ends at the next line beginning with
// "[" or at the end of the text. On kMalformed, *problem (when given) says what and *mirrors is empty.
MirrorData ReadMirrorSection(const char* text, size_t size, std::vector<MirrorUrl>* mirrors,
                             std::string* problem = nullptr);

// The mirror list of Sign.ini as its signature covers it: the section is looked for only in the signed
// part (before "[Signature]"), so a list added after the signature is never found.
MirrorData ReadSignedMirrorList(const char* signText, size_t size, std::vector<MirrorUrl>* mirrors,
                                std::string* problem = nullptr);

// The section, header included, each line ended with CR LF ("" for an empty list).
std::string FormatMirrorSection(const std::vector<MirrorUrl>& mirrors);
