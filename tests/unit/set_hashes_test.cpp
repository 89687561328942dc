// The hash data of a set: [Hashes] lines, the Sign.ini signature split, the trust decision, and that the
// description lookup reads a list with hash data exactly as it reads the same list without it.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "web/ini_lookup.h"
#include "web/set_hashes.h"

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
  TrustInputs in;
  SetTrust result;
};

TrustInputs Inputs(bool found, HashData hashes, SignatureData signature, bool key, SignatureCheck check,
                   bool require, bool https) {
  TrustInputs in;
  in.signFileFound = found;
  in.hashes = hashes;
  in.signature = signature;
  in.haveKey = key;
  in.check = check;
  in.requireSigned = require;
  in.https = https;
  return in;
}

constexpr HashData kH = HashData::kPresent;
constexpr SignatureData kNoSig = SignatureData::kAbsent;
constexpr SignatureData kSigned = SignatureData::kPresent;
constexpr SignatureCheck kNot = SignatureCheck::kNotChecked;

const TrustCase kTrustCases[] = {
    {"old set, no key", Inputs(false, HashData::kAbsent, kNoSig, false, kNot, false, true), SetTrust::kUnsigned},
    {"old set over HTTP, key", Inputs(false, HashData::kAbsent, kNoSig, true, kNot, false, false), SetTrust::kUnsigned},
    {"old set over HTTPS, signed sets required", Inputs(false, HashData::kAbsent, kNoSig, true, kNot, true, true),
     SetTrust::kUnsigned},
    {"Sign.ini removed, HTTP fallback, signed sets required",
     Inputs(false, HashData::kAbsent, kNoSig, true, kNot, true, false), SetTrust::kRefused},
    {"hashes only over HTTP, signed sets required", Inputs(true, kH, kNoSig, true, kNot, true, false), SetTrust::kRefused},
    {"hashes only, no key", Inputs(true, kH, kNoSig, false, kNot, false, false), SetTrust::kUnsigned},
    {"signed, good", Inputs(true, kH, kSigned, true, SignatureCheck::kGood, false, true), SetTrust::kSigned},
    {"signed, good, HTTP, required", Inputs(true, kH, kSigned, true, SignatureCheck::kGood, true, false), SetTrust::kSigned},
    {"signed, bad", Inputs(true, kH, kSigned, true, SignatureCheck::kBad, false, true), SetTrust::kRefused},
    {"signed, no key: hashes only", Inputs(true, kH, kSigned, false, kNot, false, false), SetTrust::kUnsigned},
    {"malformed signature, key", Inputs(true, kH, SignatureData::kMalformed, true, kNot, false, true), SetTrust::kRefused},
    {"malformed signature, no key", Inputs(true, kH, SignatureData::kMalformed, false, kNot, false, true), SetTrust::kUnsigned},
    {"malformed hashes", Inputs(true, HashData::kMalformed, kSigned, true, SignatureCheck::kGood, false, true),
     SetTrust::kRefused},
    {"Sign.ini without hashes", Inputs(true, HashData::kAbsent, kNoSig, false, kNot, false, true), SetTrust::kRefused},
};

TEST(SetHashes, DecidesTrust) {
  for (const TrustCase& c : kTrustCases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(DecideSetTrust(c.in), c.result);
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
