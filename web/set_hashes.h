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
//     over every byte of Sign.ini before the line "[Signature]".
// A lookup takes the first line that begins with a key inside its section, and a section ends at the
// next line beginning with "["; the new sections are separate sections, and the parts' sections end
// where [Hashes] begins as they end at any other section, so no old lookup reaches the new lines.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

constexpr int kSha256Size = 32;
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
  kUnsigned,  // no Sign.ini, no signature in it, or no key to check one: go on, checking what hashes there are
  kSigned,    // the signature is good for the compiled-in key
  kRefused,   // do not use the set: nothing is staged, nothing started
};

enum class SignatureCheck { kNotChecked, kGood, kBad };

struct TrustInputs {
  bool signFileFound = false;  // Sign.ini was served (status 200, whole)
  HashData hashes = HashData::kAbsent;          // its [Hashes] section
  SignatureData signature = SignatureData::kAbsent;
  bool haveKey = false;                          // a maker's key is compiled in
  SignatureCheck check = SignatureCheck::kNotChecked;  // the verification, when a key and a signature exist
  bool requireSigned = false;                    // QUARN_REQUIRE_SIGNED_SET
  bool https = false;                            // the set comes over HTTPS
};

// The decision, as a table: see the .cpp for the reasons.
SetTrust DecideSetTrust(const TrustInputs& in);

// Compares the size and digest of what arrived with an entry. Returns "" when they agree, otherwise a
// short English description of what differs (for quarnset's findings; the installer only needs the bool).
std::string DescribeHashMismatch(const HashEntry& expected, uint64_t size, const unsigned char sha256[kSha256Size]);
