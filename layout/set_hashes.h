// The hash data of a set: what the publisher records about every file so that the installer can tell a
// whole, unaltered file from a damaged or substituted one. Pure text functions, shared by the installer
// and quarnset (which writes and checks the same lines).
//
// Two places hold it, both out of reach of the description lookups of older installers:
//   - every file list Fajls_N.ini ends with a section [Hashes]: one line per stored file of the disc,
//     "NAME=SIZE SHA256", NAME being the server name the download forms from the file line, SIZE and
//     SHA256 (64 hex digits) those of the content the installer stages (after filler decoding);
//   - Sign.ini in the first disc's folder: a section [Hashes] with the same kind of lines for
//     Install.ini and every file list (their bytes as served), optionally followed by a section
//     [Signature] with "ECDSA-P256-SHA256=" and 128 hex digits: the signature (r then s, 32 bytes each)
//     over every byte of Sign.ini before the line "[Signature]". The signed part also carries the set's
//     identity (section [Identity], below).
// A lookup takes the first line that begins with a key inside its section, and a section ends at the
// next line beginning with "["; the new sections are separate sections, and the parts' sections end
// where [Hashes] begins as they end at any other section, so no old lookup reaches the new lines.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "base/sizes.h"

constexpr int kSignatureSize = 64;  // ECDSA P-256: r and s, 32 bytes each, big-endian

extern const char kSignFileName[];         // "Sign.ini"
extern const char kHashSection[];          // "Hashes"
extern const char kSignatureSection[];     // "Signature"
extern const char kSignatureAlgorithm[];   // "ECDSA-P256-SHA256": the key of the signature line

struct HashEntry {
  std::string name;  // exact bytes (file names are compared byte for byte, as the URL uses them)
  uint64_t size = 0;
  unsigned char sha256[kSha256Size] = {};
};

enum class HashData {
  kAbsent,     // no [Hashes] section: an old set, nothing to check
  kPresent,    // the section was read whole
  kMalformed,  // the section is there but a line of it is not NAME=SIZE SHA256, or a name repeats
};

// The entries of the first [Hashes] section of an INI text (header: the first CR LF-ended line beginning
// with "[Hashes]", as the description lookup finds headers). Blank lines and lines beginning with ";"
// are skipped; the section ends at the next line beginning with "[" or at the end of the text. On
// kMalformed, *badLine (when given) receives the 1-based line number of the first bad line.
HashData ReadHashSection(const char* text, size_t size, std::vector<HashEntry>* entries, int* badLine = nullptr);

// The entry for a name, or nullptr.
const HashEntry* FindHashEntry(const std::vector<HashEntry>& entries, const char* name);

// The value of a [Hashes] line, "SIZE SHA256" (decimal size, one blank, 64 hex digits, nothing more), as
// ReadHashSection reads it.
bool ParseHashValue(const char* value, size_t length, uint64_t* size, unsigned char sha256[kSha256Size]);

// One line "NAME=SIZE SHA256" (lower-case hex) without its CR LF.
std::string FormatHashLine(const std::string& name, uint64_t size, const unsigned char sha256[kSha256Size]);
// 2n lower-case hex digits of n bytes.
std::string HexText(const unsigned char* bytes, size_t n);
// Exactly 2n hex digits (either case) into n bytes; false otherwise.
bool ParseHex(const char* text, size_t length, unsigned char* bytes, size_t n);

enum class SignatureData {
  kAbsent,     // no [Signature] section: the set is not signed
  kPresent,    // a signature line with 128 hex digits
  kMalformed,  // a [Signature] section without a well-formed "ECDSA-P256-SHA256=" line
};

// Splits Sign.ini into the signed bytes (text[0, *signedSize): everything before the first CR LF-ended
// line beginning with "[Signature]", or the whole text when there is none) and the signature.
SignatureData ReadSignature(const char* text, size_t size, size_t* signedSize,
                            unsigned char signature[kSignatureSize]);

// What the installer makes of a set's Sign.ini before it uses the description.
enum class SetTrust {
  kUnsigned,  // a build without a key: go on, checking what hashes there are
  kSigned,    // the signature is good for a compiled-in key
  kRefused,   // do not use the set: nothing is staged, nothing started
};

enum class SignatureCheck { kNotChecked, kGood, kBad };

struct TrustInputs {
  bool signFileFound = false;  // Sign.ini was served (status 200, whole)
  HashData hashes = HashData::kAbsent;          // its [Hashes] section
  SignatureData signature = SignatureData::kAbsent;
  bool haveKey = false;                          // a maker's key is compiled in
  SignatureCheck check = SignatureCheck::kNotChecked;  // the verification (good: by one of the keys)
  bool https = false;  // the set comes over HTTPS (recorded for the log; it changes no outcome)
};

// The decision, as a table: see the .cpp for the reasons. *reason (when given) receives a short English
// text for the log: what was found.
SetTrust DecideSetTrust(const TrustInputs& in, const char** reason = nullptr);

// The signed identity of a set: a section [Identity] in the signed part of Sign.ini (before [Signature]),
// which no description lookup ever reaches:
//   Folder=KelvaranDemo      the set's folder on the server
//   CadSystem=QuarnCAD       Install.ini's [System] CadSystem
//   Version=9.20             Install.ini's [System] Version
//   Sequence=7               a whole number the maker raises with every published set
//   Expires=2027-12-31       the last day (UTC) on which the set is installed
extern const char kIdentitySection[];  // "Identity"

struct SetIdentity {
  std::string folder;
  std::string cadSystem;
  std::string version;
  uint64_t sequence = 0;
  int expiresYear = 0, expiresMonth = 0, expiresDay = 0;
};

enum class IdentityData {
  kAbsent,     // no [Identity] section
  kPresent,    // every field there and well-formed
  kMalformed,  // a field missing, empty, or not of its form (a date that is no date, a number too big)
};

// The first [Identity] section of a text (the signed part of Sign.ini). Keys are taken at their first
// line; unknown keys are skipped (room for later fields). On kMalformed, *problem (when given) says what.
IdentityData ReadSetIdentity(const char* text, size_t size, SetIdentity* identity, std::string* problem = nullptr);
// The section, header included, each line ended with CR LF.
std::string FormatSetIdentity(const SetIdentity& identity);

// "YYYY-MM-DD", a real day of the years 1970 to 9999; nothing else.
bool ParseUtcDate(const char* text, size_t length, int* year, int* month, int* day);
std::string FormatUtcDate(int year, int month, int day);
// Days since 1970-01-01 of a valid date (the proleptic Gregorian calendar).
int64_t DayNumber(int year, int month, int day);
// The date of a day number (inverse of DayNumber).
void DateOfDay(int64_t dayNumber, int* year, int* month, int* day);

// What a keyed installer holds a signed set's identity to.
struct IdentityExpectation {
  const char* folder = "";     // the folder it fetched the set from
  const char* cadSystem = "";  // [System] CadSystem of the Install.ini it verified
  const char* version = "";    // [System] Version of the same
  int year = 1970, month = 1, day = 1;  // today, UTC
  uint64_t minSequence = 0;    // the lowest Sequence this build accepts
};

enum class IdentityVerdict {
  kGood,
  kMissing,     // a signed set without [Identity]
  kMalformed,
  kFolder,      // made for another folder
  kCadSystem,   // made for another product
  kVersion,     // made for another version
  kExpired,     // today is after Expires
  kSequence,    // Sequence below the minimum
};

// The checks in this order; *detail (when given) receives an English line for the log naming the check
// and the values seen.
IdentityVerdict CheckSetIdentity(IdentityData data, const SetIdentity& identity, const IdentityExpectation& expect,
                                 std::string* detail = nullptr);

// Compares the size and digest of what arrived with an entry. Returns "" when they agree, otherwise a
// short English description of what differs (for quarnset's findings; the installer only needs the bool).
std::string DescribeHashMismatch(const HashEntry& expected, uint64_t size, const unsigned char sha256[kSha256Size]);
