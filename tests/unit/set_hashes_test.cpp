// The hash data of a set: [Hashes] lines, the Sign.ini signature split, the trust decision, and that the
// description lookup reads a list with hash data exactly as it reads the same list without it.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "web/ini_lookup.h"
#include "layout/set_hashes.h"

namespace {

const std::string kHexA = "00112233445566778899aabbccddeeff00112233445566778899aabbccddeeff";
const std::string kHexB = "FFEEDDCCBBAA99887766554433221100ffeeddccbbaa99887766554433221100";

struct HashCase {
  const char* name;
  std::string text;
  HashData result;
  std::vector<std::string> names;  // on kPresent
  int badLine;                     // on kMalformed
};

const HashCase kHashCases[] = {
    {"no section: old list", "[Disc]\r\nName=x\r\n[Setup]\r\nFile1=\\a b\r\n", HashData::kAbsent, {}, 0},
    {"one entry", "[Hashes]\r\na.cfg=12 " + kHexA + "\r\n", HashData::kPresent, {"a.cfg"}, 0},
    {"upper-case hex, last line without CR LF", "[Hashes]\r\nb.ex_=0 " + kHexB, HashData::kPresent, {"b.ex_"}, 0},
    {"after the parts, two entries and a comment",
     "[Setup]\r\nFile1=\\a.cfg \\X\\a.cfg\r\n\r\n[Hashes]\r\n; staged content\r\na.cfg=1 " + kHexA + "\r\n\r\nSub\\c.txt=5 " +
         kHexB + "\r\n",
     HashData::kPresent, {"a.cfg", "Sub\\c.txt"}, 0},
    {"section ends at the next header", "[Hashes]\r\na=1 " + kHexA + "\r\n[Other]\r\nnot a hash line\r\n",
     HashData::kPresent, {"a"}, 0},
    {"a name holding '=' ends at the last '='", "[Hashes]\r\na=b=7 " + kHexA + "\r\n", HashData::kPresent, {"a=b"}, 0},
    {"header must end its line with CR LF", "X=1\r\n[Hashes]", HashData::kAbsent, {}, 0},
    {"header in the wrong case is another section", "[hashes]\r\na=1 " + kHexA + "\r\n", HashData::kAbsent, {}, 0},
    {"short digest", "[Hashes]\r\na=1 " + kHexA.substr(2) + "\r\n", HashData::kMalformed, {}, 2},
    {"long digest", "[Hashes]\r\na=1 " + kHexA + "0\r\n", HashData::kMalformed, {}, 2},
    {"non-hex digit", "[Hashes]\r\na=1 " + kHexA.substr(1) + "g\r\n", HashData::kMalformed, {}, 2},
    {"size not a number", "[Hashes]\r\na=1x " + kHexA + "\r\n", HashData::kMalformed, {}, 2},
    {"size missing", "[Hashes]\r\na= " + kHexA + "\r\n", HashData::kMalformed, {}, 2},
    {"size overflows 64 bits", "[Hashes]\r\na=18446744073709551616 " + kHexA + "\r\n", HashData::kMalformed, {}, 2},
    {"largest size", "[Hashes]\r\na=18446744073709551615 " + kHexA + "\r\n", HashData::kPresent, {"a"}, 0},
    {"two blanks", "[Hashes]\r\na=1  " + kHexA + "\r\n", HashData::kMalformed, {}, 2},
    {"no equals", "[Hashes]\r\nfile 1 " + kHexA + "\r\n", HashData::kMalformed, {}, 2},
    {"empty name", "[Hashes]\r\n=1 " + kHexA + "\r\n", HashData::kMalformed, {}, 2},
    {"a name given twice", "[X]\r\n[Hashes]\r\na=1 " + kHexA + "\r\na=2 " + kHexB + "\r\n", HashData::kMalformed, {}, 4},
    {"lone LF is text, not a line end", "[Hashes]\r\na=1 " + kHexA + "\nb=1 " + kHexA + "\r\n", HashData::kMalformed, {}, 2},
    {"name longer than a line", "[Hashes]\r\n" + std::string(256, 'n') + "=1 " + kHexA + "\r\n", HashData::kMalformed, {}, 2},
};

TEST(SetHashes, ReadsHashSections) {
  for (const HashCase& c : kHashCases) {
    SCOPED_TRACE(c.name);
    std::vector<HashEntry> entries;
    int bad = 0;
    EXPECT_EQ(ReadHashSection(c.text.data(), c.text.size(), &entries, &bad), c.result);
    std::vector<std::string> names;
    for (const HashEntry& e : entries) names.push_back(e.name);
    EXPECT_EQ(names, c.names);
    if (c.result == HashData::kMalformed) {
      EXPECT_EQ(bad, c.badLine);
    }
  }
}

TEST(SetHashes, EntryValuesAndLookup) {
  std::string text = "[Hashes]\r\nq.ex_=4096 " + kHexB + "\r\nQ.ex_=3 " + kHexA + "\r\n";
  std::vector<HashEntry> entries;
  ASSERT_EQ(ReadHashSection(text.data(), text.size(), &entries), HashData::kPresent);
  const HashEntry* e = FindHashEntry(entries, "q.ex_");
  ASSERT_NE(e, nullptr);
  EXPECT_EQ(e->size, 4096u);
  EXPECT_EQ(HexText(e->sha256, kSha256Size), "ffeeddccbbaa99887766554433221100ffeeddccbbaa99887766554433221100");
  // Names are compared byte for byte: the URL names the file with exactly these bytes.
  ASSERT_NE(FindHashEntry(entries, "Q.ex_"), nullptr);
  EXPECT_EQ(FindHashEntry(entries, "Q.ex_")->size, 3u);
  EXPECT_EQ(FindHashEntry(entries, "q.ex"), nullptr);
  EXPECT_EQ(FormatHashLine("q.ex_", 4096, e->sha256), "q.ex_=4096 " + HexText(e->sha256, kSha256Size));
}

TEST(SetHashes, DescribesWhatDiffers) {
  HashEntry e;
  ASSERT_TRUE(ParseHex(kHexA.data(), kHexA.size(), e.sha256, kSha256Size));
  e.size = 10;
  unsigned char same[kSha256Size];
  unsigned char other[kSha256Size];
  ASSERT_TRUE(ParseHex(kHexA.data(), kHexA.size(), same, kSha256Size));
  ASSERT_TRUE(ParseHex(kHexB.data(), kHexB.size(), other, kSha256Size));
  EXPECT_EQ(DescribeHashMismatch(e, 10, same), "");
  EXPECT_EQ(DescribeHashMismatch(e, 9, same), "size 9 bytes, the hash data says 10");
  EXPECT_NE(DescribeHashMismatch(e, 10, other).find("SHA-256 ffeedd"), std::string::npos);
}

struct SignatureCase {
  const char* name;
  std::string text;
  SignatureData result;
  size_t signedSize;
};

const std::string kSig(128, 'a');
const std::string kHashes = "[Hashes]\r\nInstall.ini=1 " + kHexA + "\r\n";

const SignatureCase kSignatureCases[] = {
    {"unsigned: everything is the hashed part", kHashes, SignatureData::kAbsent, kHashes.size()},
    {"signed", kHashes + "[Signature]\r\nECDSA-P256-SHA256=" + kSig + "\r\n", SignatureData::kPresent, kHashes.size()},
    {"signature line without CR LF", kHashes + "[Signature]\r\nECDSA-P256-SHA256=" + kSig, SignatureData::kPresent,
     kHashes.size()},
    {"other lines before the signature line", kHashes + "[Signature]\r\n; made by quarnset\r\nECDSA-P256-SHA256=" + kSig + "\r\n",
     SignatureData::kPresent, kHashes.size()},
    {"short signature", kHashes + "[Signature]\r\nECDSA-P256-SHA256=" + kSig.substr(1) + "\r\n", SignatureData::kMalformed,
     kHashes.size()},
    {"unknown algorithm", kHashes + "[Signature]\r\nRSA=" + kSig + "\r\n", SignatureData::kMalformed, kHashes.size()},
    {"signature line behind the next section", kHashes + "[Signature]\r\n[X]\r\nECDSA-P256-SHA256=" + kSig + "\r\n",
     SignatureData::kMalformed, kHashes.size()},
    {"first signature line counts", kHashes + "[Signature]\r\nECDSA-P256-SHA256=zz\r\nECDSA-P256-SHA256=" + kSig + "\r\n",
     SignatureData::kMalformed, kHashes.size()},
    {"header not at a line start is hashed text", "x[Signature]\r\n", SignatureData::kAbsent, 14},
};

TEST(SetHashes, SplitsSignedPartAndSignature) {
  for (const SignatureCase& c : kSignatureCases) {
    SCOPED_TRACE(c.name);
    size_t signedSize = 12345;
    unsigned char sig[kSignatureSize] = {};
    EXPECT_EQ(ReadSignature(c.text.data(), c.text.size(), &signedSize, sig), c.result);
    EXPECT_EQ(signedSize, c.signedSize);
    if (c.result == SignatureData::kPresent) {
      EXPECT_EQ(sig[0], 0xaa);
    }
  }
}

TEST(SetHashes, HashesOfSignIniComeFromTheSignedPartOnly) {
  // Lines after [Signature] are not signed: a [Hashes] section there must not be read.
  std::string text = "[Signature]\r\nECDSA-P256-SHA256=" + kSig + "\r\n[Hashes]\r\nInstall.ini=1 " + kHexA + "\r\n";
  size_t signedSize = 0;
  unsigned char sig[kSignatureSize];
  ASSERT_EQ(ReadSignature(text.data(), text.size(), &signedSize, sig), SignatureData::kPresent);
  std::vector<HashEntry> entries;
  EXPECT_EQ(ReadHashSection(text.data(), signedSize, &entries), HashData::kAbsent);
}

struct TrustCase {
  const char* name;
  bool found;
  HashData hashes;
  SignatureData signature;
  SignatureCheck check;
  SetTrust withKey;
  SetTrust withoutKey;
};

constexpr HashData kH = HashData::kPresent;
constexpr SignatureData kNoSig = SignatureData::kAbsent;
constexpr SignatureData kSigned = SignatureData::kPresent;
constexpr SignatureCheck kNot = SignatureCheck::kNotChecked;
constexpr SetTrust kOk = SetTrust::kSigned;
constexpr SetTrust kNo = SetTrust::kRefused;
constexpr SetTrust kOld = SetTrust::kUnsigned;

// Each row for a build with a key and one without, over HTTPS and HTTP (the way never changes it).
const TrustCase kTrustCases[] = {
    {"no Sign.ini (old set, or removed)", false, HashData::kAbsent, kNoSig, kNot, kNo, kOld},
    {"a page for Sign.ini (no [Hashes])", true, HashData::kAbsent, kNoSig, kNot, kNo, kOld},
    {"a page with a signature line but no [Hashes]", true, HashData::kAbsent, kSigned, SignatureCheck::kBad, kNo, kOld},
    {"hashes only: signature stripped", true, kH, kNoSig, kNot, kNo, kOld},
    {"signed, good (by the key or the next key)", true, kH, kSigned, SignatureCheck::kGood, kOk, kOld},
    {"signed, bad (foreign key or changed)", true, kH, kSigned, SignatureCheck::kBad, kNo, kOld},
    {"malformed signature", true, kH, SignatureData::kMalformed, kNot, kNo, kOld},
    {"malformed hashes, good signature", true, HashData::kMalformed, kSigned, SignatureCheck::kGood, kNo, kNo},
    {"malformed hashes, unsigned", true, HashData::kMalformed, kNoSig, kNot, kNo, kNo},
};

TEST(SetHashes, DecidesTrust) {
  for (const TrustCase& c : kTrustCases) {
    for (bool key : {true, false}) {
      for (bool https : {true, false}) {
        SCOPED_TRACE(std::string(c.name) + (key ? ", key" : ", no key") + (https ? ", HTTPS" : ", HTTP"));
        TrustInputs in;
        in.signFileFound = c.found;
        in.hashes = c.hashes;
        in.signature = c.signature;
        in.haveKey = key;
        // Without a key nothing is verified.
        in.check = key ? c.check : kNot;
        in.https = https;
        const char* reason = nullptr;
        EXPECT_EQ(DecideSetTrust(in, &reason), key ? c.withKey : c.withoutKey);
        ASSERT_NE(reason, nullptr);
        EXPECT_STRNE(reason, "");
      }
    }
  }
}

// ---- The signed identity ----

const std::string kIdentity =
    "[Identity]\r\nFolder=KelvaranDemo\r\nCadSystem=QuarnCAD\r\nVersion=9.20\r\nSequence=7\r\nExpires=2027-02-28\r\n";

struct IdentityCase {
  const char* name;
  std::string text;
  IdentityData result;
  const char* problem;  // part of the problem text (kMalformed)
};

std::string Replaced(const std::string& text, const std::string& from, const std::string& to) {
  std::string out = text;
  size_t at = out.find(from);
  if (at != std::string::npos) out.replace(at, from.size(), to);
  return out;
}

TEST(SetHashes, ReadsTheIdentitySection) {
  const IdentityCase cases[] = {
      {"whole", "[Hashes]\r\n" + kIdentity + "[Signature]\r\n", IdentityData::kPresent, ""},
      {"none", "[Hashes]\r\nInstall.ini=1 " + kHexA + "\r\n", IdentityData::kAbsent, ""},
      {"header without CR LF is no header", "[Identity]", IdentityData::kAbsent, ""},
      {"unknown keys and comments skipped", Replaced(kIdentity, "Folder", "; note\r\nColour=blue\r\nFolder"),
       IdentityData::kPresent, ""},
      {"no folder", Replaced(kIdentity, "Folder=KelvaranDemo\r\n", ""), IdentityData::kMalformed, "no Folder"},
      {"empty CadSystem", Replaced(kIdentity, "QuarnCAD", ""), IdentityData::kMalformed, "CadSystem is empty"},
      {"no Version", Replaced(kIdentity, "Version=9.20\r\n", ""), IdentityData::kMalformed, "no Version"},
      {"control byte in Version", Replaced(kIdentity, "9.20", "9\x01" "20"), IdentityData::kMalformed, "control"},
      {"no Sequence", Replaced(kIdentity, "Sequence=7\r\n", ""), IdentityData::kMalformed, "no Sequence"},
      {"negative Sequence", Replaced(kIdentity, "=7", "=-7"), IdentityData::kMalformed, "whole number"},
      {"Sequence with a blank", Replaced(kIdentity, "=7", "= 7"), IdentityData::kMalformed, "whole number"},
      {"Sequence 2^64", Replaced(kIdentity, "=7", "=18446744073709551616"), IdentityData::kMalformed, "whole number"},
      {"Sequence of 30 digits", Replaced(kIdentity, "=7", "=" + std::string(30, '9')), IdentityData::kMalformed,
       "whole number"},
      {"Sequence 2^64-1", Replaced(kIdentity, "=7", "=18446744073709551615"), IdentityData::kPresent, ""},
      {"no Expires", Replaced(kIdentity, "Expires=2027-02-28\r\n", ""), IdentityData::kMalformed, "no Expires"},
      {"February 29th of a common year", Replaced(kIdentity, "2027-02-28", "2027-02-29"), IdentityData::kMalformed,
       "not a date"},
      {"February 29th of a leap year", Replaced(kIdentity, "2027-02-28", "2028-02-29"), IdentityData::kPresent, ""},
      {"month 13", Replaced(kIdentity, "2027-02-28", "2027-13-01"), IdentityData::kMalformed, "not a date"},
      {"day 0", Replaced(kIdentity, "2027-02-28", "2027-02-00"), IdentityData::kMalformed, "not a date"},
      {"day 31 of April", Replaced(kIdentity, "2027-02-28", "2027-04-31"), IdentityData::kMalformed, "not a date"},
      {"slashes", Replaced(kIdentity, "2027-02-28", "2027/02/28"), IdentityData::kMalformed, "not a date"},
      {"short form", Replaced(kIdentity, "2027-02-28", "2027-2-28"), IdentityData::kMalformed, "not a date"},
      {"time added", Replaced(kIdentity, "2027-02-28", "2027-02-28T00:00"), IdentityData::kMalformed, "not a date"},
      {"before 1970", Replaced(kIdentity, "2027-02-28", "1969-12-31"), IdentityData::kMalformed, "not a date"},
  };
  for (const IdentityCase& c : cases) {
    SCOPED_TRACE(c.name);
    SetIdentity id;
    std::string problem;
    EXPECT_EQ(ReadSetIdentity(c.text.data(), c.text.size(), &id, &problem), c.result);
    if (c.result == IdentityData::kMalformed) {
      EXPECT_NE(problem.find(c.problem), std::string::npos) << problem;
      EXPECT_EQ(id.folder, "");  // nothing half-read is handed out
    }
  }
  SetIdentity id;
  ASSERT_EQ(ReadSetIdentity(kIdentity.data(), kIdentity.size(), &id), IdentityData::kPresent);
  EXPECT_EQ(id.folder, "KelvaranDemo");
  EXPECT_EQ(id.cadSystem, "QuarnCAD");
  EXPECT_EQ(id.version, "9.20");
  EXPECT_EQ(id.sequence, 7u);
  EXPECT_EQ(id.expiresYear, 2027);
  EXPECT_EQ(id.expiresMonth, 2);
  EXPECT_EQ(id.expiresDay, 28);
  // Written back, it is the same text.
  EXPECT_EQ(FormatSetIdentity(id), kIdentity);
}

// The identity is in the signed part: after [Signature] it is not read.
TEST(SetHashes, IdentityOnlyFromTheSignedPart) {
  const std::string text = "[Hashes]\r\nInstall.ini=1 " + kHexA + "\r\n[Signature]\r\nECDSA-P256-SHA256=" +
                           std::string(128, 'a') + "\r\n" + kIdentity;
  size_t signedSize = 0;
  unsigned char sig[kSignatureSize];
  ASSERT_EQ(ReadSignature(text.data(), text.size(), &signedSize, sig), SignatureData::kPresent);
  SetIdentity id;
  EXPECT_EQ(ReadSetIdentity(text.data(), signedSize, &id), IdentityData::kAbsent);
}

TEST(SetHashes, DayNumbersRoundTrip) {
  EXPECT_EQ(DayNumber(1970, 1, 1), 0);
  EXPECT_EQ(DayNumber(2000, 3, 1) - DayNumber(2000, 2, 28), 2);  // 2000 is a leap year
  EXPECT_EQ(DayNumber(2100, 3, 1) - DayNumber(2100, 2, 28), 1);  // 2100 is not
  EXPECT_EQ(DayNumber(2027, 1, 1) - DayNumber(2026, 1, 1), 365);
  for (int64_t n : {int64_t{0}, int64_t{59}, int64_t{10956}, int64_t{20819}, int64_t{2932896}}) {
    int y = 0, m = 0, d = 0;
    DateOfDay(n, &y, &m, &d);
    EXPECT_EQ(DayNumber(y, m, d), n) << y << "-" << m << "-" << d;
  }
  EXPECT_EQ(FormatUtcDate(2026, 3, 9), "2026-03-09");
}

struct VerdictCase {
  const char* name;
  IdentityData data;
  std::string folder, cadSystem, version;
  uint64_t sequence;
  int y, m, d;  // today
  uint64_t minSequence;
  IdentityVerdict result;
  const char* detail;  // part of the log line
};

TEST(SetHashes, ChecksTheIdentity) {
  const IdentityData kP = IdentityData::kPresent;
  const VerdictCase cases[] = {
      {"good", kP, "KelvaranDemo", "QuarnCAD", "9.20", 7, 2027, 2, 28, 0, IdentityVerdict::kGood, "good"},
      {"last valid day", kP, "KelvaranDemo", "QuarnCAD", "9.20", 7, 2027, 2, 28, 7, IdentityVerdict::kGood, "good"},
      {"a day late", kP, "KelvaranDemo", "QuarnCAD", "9.20", 7, 2027, 3, 1, 0, IdentityVerdict::kExpired,
       "expired on 2027-02-28, today (UTC) is 2027-03-01"},
      {"a year late", kP, "KelvaranDemo", "QuarnCAD", "9.20", 7, 2028, 1, 1, 0, IdentityVerdict::kExpired, "Expires"},
      {"another folder", kP, "OtherDemo", "QuarnCAD", "9.20", 7, 2026, 1, 1, 0, IdentityVerdict::kFolder,
       "signed for 'OtherDemo', it was fetched from 'KelvaranDemo'"},
      {"folder differs in case", kP, "kelvarandemo", "QuarnCAD", "9.20", 7, 2026, 1, 1, 0, IdentityVerdict::kFolder,
       "folder"},
      {"another product", kP, "KelvaranDemo", "OtherCAD", "9.20", 7, 2026, 1, 1, 0, IdentityVerdict::kCadSystem,
       "CadSystem: the set is signed for 'OtherCAD', Install.ini says 'QuarnCAD'"},
      {"another version", kP, "KelvaranDemo", "QuarnCAD", "9.10", 7, 2026, 1, 1, 0, IdentityVerdict::kVersion,
       "Version"},
      {"below the minimum", kP, "KelvaranDemo", "QuarnCAD", "9.20", 7, 2026, 1, 1, 8, IdentityVerdict::kSequence,
       "has 7, this installer accepts 8 or more"},
      {"huge minimum", kP, "KelvaranDemo", "QuarnCAD", "9.20", 7, 2026, 1, 1, UINT64_MAX, IdentityVerdict::kSequence,
       "Sequence"},
      {"no section", IdentityData::kAbsent, "", "", "", 0, 2026, 1, 1, 0, IdentityVerdict::kMissing, "no [Identity]"},
      {"unreadable section", IdentityData::kMalformed, "", "", "", 0, 2026, 1, 1, 0, IdentityVerdict::kMalformed,
       "cannot be read"},
  };
  for (const VerdictCase& c : cases) {
    SCOPED_TRACE(c.name);
    SetIdentity id;
    id.folder = c.folder;
    id.cadSystem = c.cadSystem;
    id.version = c.version;
    id.sequence = c.sequence;
    id.expiresYear = 2027;
    id.expiresMonth = 2;
    id.expiresDay = 28;
    IdentityExpectation expect;
    expect.folder = "KelvaranDemo";
    expect.cadSystem = "QuarnCAD";
    expect.version = "9.20";
    expect.year = c.y;
    expect.month = c.m;
    expect.day = c.d;
    expect.minSequence = c.minSequence;
    std::string detail;
    EXPECT_EQ(CheckSetIdentity(c.data, id, expect, &detail), c.result);
    EXPECT_NE(detail.find(c.detail), std::string::npos) << detail;
  }
}

// Old installers read lists with the description lookup: a list with hash data must answer every key
// of the parts and of [Disc] exactly as the same list without it.
TEST(SetHashes, OldLookupsNeverReachHashData) {
  const std::string list =
      "[Disc]\r\nName=Disc 1\r\n\r\n[Setup]\r\nFile1=\\quarn.cfg *?\\QuarnWin32\\quarn.cfg\r\n\r\n"
      "[Systems]\r\nFile1=\\QuarnWin32.ex_ \\QuarnWin32\\QuarnWin32.exe\r\nFile2=\\qrender.dl_ \\QuarnWin32\\qrender.dll\r\n";
  const std::string withHashes = list + "\r\n[Hashes]\r\nquarn.cfg=10 " + kHexA + "\r\nQuarnWin32.ex_=20 " + kHexB +
                                 "\r\nFile3=1 " + kHexA + "\r\nqrender.dl_=30 " + kHexA + "\r\n";
  const char* sections[] = {"Disc", "Setup", "Systems", "Drawings", "Blocks", "Projects", "Datas", "Help"};
  const char* keys[] = {"", "Name", "File1", "File2", "File3", "File", "quarn.cfg", "Q"};
  for (const char* s : sections) {
    for (const char* k : keys) {
      SCOPED_TRACE(std::string(s) + "/" + k);
      char a[256];
      char b[256];
      bool fa = FindIniValue(s, k, a, sizeof a, list.data(), static_cast<int>(list.size()));
      bool fb = FindIniValue(s, k, b, sizeof b, withHashes.data(), static_cast<int>(withHashes.size()));
      EXPECT_EQ(fa, fb);
      EXPECT_STREQ(a, b);
    }
  }
}

}  // namespace
