// The pure pieces of the web transfer: probe scan, server names, URLs and staging paths, filler
// decoding, progress text.
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <string>
#include <vector>

#include "base/text.h"
#include "unit/case_name.h"
#include "layout/progress_text.h"
#include "web/filler.h"
#include "web/probe.h"
#include "layout/server_layout.h"

namespace {

// ---- Probe ----

const std::string kHeader = "QuarnCAD WEB update system: V9.21";
const std::string kCopyright = "QuarnSoft Ltd. 1992-2019.";

struct ProbeCase {
  const char* name;
  std::string text;
  ProbeVerdict verdict;
};

void PrintTo(const ProbeCase& c, std::ostream* os) { PrintCaseName(c.name, os); }

const ProbeCase kProbeCases[] = {
    {"both markers in order", kHeader + "\r\n" + kCopyright + "\r\n", ProbeVerdict::kAccepted},
    {"markers with text after them and lines between",
     "[Update]\r\n" + kHeader + " build 7\r\nx\r\n\r\n" + kCopyright + " All rights.\r\nmore\r\n",
     ProbeVerdict::kAccepted},
    {"wrong order", kCopyright + "\r\n" + kHeader + "\r\n", ProbeVerdict::kRejected},
    {"copyright twice around the header", kCopyright + "\r\n" + kHeader + "\r\n" + kCopyright + "\r\n",
     ProbeVerdict::kAccepted},
    {"last marker without CR LF", kHeader + "\r\n" + kCopyright, ProbeVerdict::kRejected},
    {"header only", kHeader + "\r\n", ProbeVerdict::kRejected},
    {"copyright only", kCopyright + "\r\n", ProbeVerdict::kRejected},
    {"LF line ends", kHeader + "\n" + kCopyright + "\n", ProbeVerdict::kRejected},
    {"other version", "QuarnCAD WEB update system: V9.20\r\n" + kCopyright + "\r\n",
     ProbeVerdict::kRejected},
    {"marker not at line start", " " + kHeader + "\r\n" + kCopyright + "\r\n", ProbeVerdict::kRejected},
    {"marker cut short", kHeader + "\r\nQuarnSoft Ltd. 1992-2019\r\n", ProbeVerdict::kRejected},
    {"case differs", kHeader + "\r\nquarnsoft Ltd. 1992-2019.\r\n", ProbeVerdict::kRejected},
    {"both on one line", kHeader + kCopyright + "\r\n", ProbeVerdict::kRejected},
    {"long lines before the markers", std::string(300, 'x') + "\r\n" + kHeader + "\r\n" + kCopyright +
     "\r\n", ProbeVerdict::kAccepted},
    {"empty", "", ProbeVerdict::kRejected},
};

class ProbeTable : public ::testing::TestWithParam<ProbeCase> {};

TEST_P(ProbeTable, Verdict) {
  std::atomic<int32_t> cancel{0};
  const ProbeCase& c = GetParam();
  EXPECT_EQ(ScanProbeText(c.text.data(), static_cast<int>(c.text.size()), cancel), c.verdict);
}

INSTANTIATE_TEST_SUITE_P(Cases, ProbeTable, ::testing::ValuesIn(kProbeCases), CaseNameOf());

TEST(ProbeScan, CancelStopsAtTheFirstLineEnd) {
  std::atomic<int32_t> cancel{1};
  std::string good = kHeader + "\r\n" + kCopyright + "\r\n";
  EXPECT_EQ(ScanProbeText(good.data(), static_cast<int>(good.size()), cancel), ProbeVerdict::kCancelled);
  // A text with no complete line has no line end to test cancel at.
  std::string partial = kHeader;
  EXPECT_EQ(ScanProbeText(partial.data(), static_cast<int>(partial.size()), cancel),
            ProbeVerdict::kRejected);
}

TEST(ProbeScan, OnlyTheBytesGivenCount) {
  std::atomic<int32_t> cancel{0};
  std::string good = kHeader + "\r\n" + kCopyright + "\r\n";
  // A short read: the probe scans what arrived; the copyright line lost its CR LF.
  EXPECT_EQ(ScanProbeText(good.data(), static_cast<int>(good.size()) - 1, cancel),
            ProbeVerdict::kRejected);
  EXPECT_EQ(ScanProbeText(good.data(), static_cast<int>(good.size()), cancel), ProbeVerdict::kAccepted);
}

// ---- Hosts, URLs, paths ----

TEST(SplitHost, NameAndPort) {
  struct Case {
    const char* host;
    bool ok;
    const char* name;
    int port;
  } cases[] = {
      {"www.quarnsoft.hu", true, "www.quarnsoft.hu", 443},
      {"localhost:23443", true, "localhost", 23443},
      {"127.0.0.1:80", true, "127.0.0.1", 80},
      {"[::1]:8443", true, "::1", 8443},
      {"[::1]", true, "::1", 443},
      {"host:", false, "", 0},
      {"host:0", false, "", 0},
      {"host:65536", false, "", 0},
      {"host:12a", false, "", 0},
      {":443", false, "", 0},
      {"", false, "", 0},
      {"[::1", false, "", 0},
  };
  for (const Case& c : cases) {
    char name[64] = "";
    int port = -1;
    EXPECT_EQ(SplitHost(c.host, name, sizeof name, &port, 443), c.ok) << c.host;
    if (c.ok) {
      EXPECT_STREQ(name, c.name) << c.host;
      EXPECT_EQ(port, c.port) << c.host;
    }
  }
  char small[4];
  int port = 0;
  EXPECT_FALSE(SplitHost("longname:1", small, sizeof small, &port, 80));
}

TEST(ServerUrls, BothModes) {
  char dir[256];
  ASSERT_TRUE(FormUpdateDirectoryUrl(true, "www.example.hu", dir, sizeof dir));
  EXPECT_STREQ(dir, "https://www.example.hu/Download/UpDate-V9.20");
  char url[256];
  ASSERT_TRUE(FormServerUrl(dir, "Disc_01", "Install.ini", url, sizeof url));
  EXPECT_STREQ(url, "https://www.example.hu/Download/UpDate-V9.20/KelvaranDemo/Disc_01/Install.ini");

  ASSERT_TRUE(FormUpdateDirectoryUrl(false, "127.0.0.1:23080", dir, sizeof dir));
  EXPECT_STREQ(dir, "http://127.0.0.1:23080/UpDate-V9.20");
  ASSERT_TRUE(FormServerUrl(dir, "Disc_03", "Fajls_3.ini", url, sizeof url));
  EXPECT_STREQ(url, "http://127.0.0.1:23080/UpDate-V9.20/KelvaranDemo/Disc_03/Fajls_3.ini");
}

TEST(ServerUrls, NamesInSubfoldersAndOddBytes) {
  struct Case {
    const char* name;
    const char* tail;
  } cases[] = {
      {"quarnex_32.exe", "quarnex_32.exe"},
      {"Help\\guide.hlp", "Help/guide.hlp"},
      {"a\\b\\c.txt", "a/b/c.txt"},
      {"r\xE9sz.dat", "r%E9sz.dat"},       // code page 1250 bytes escaped, not sent raw
      {"a#b%c?d", "a%23b%25c%3Fd"},        // would end the path or start a query
      {"x~y_z-(1)+2.txt", "x~y_z-(1)+2.txt"},
  };
  for (const Case& c : cases) {
    char url[256];
    ASSERT_TRUE(FormServerUrl("http://h/UpDate-V9.20", "Disc_02", c.name, url, sizeof url));
    EXPECT_EQ(std::string(url), std::string("http://h/UpDate-V9.20/KelvaranDemo/Disc_02/") + c.tail);
  }
}

TEST(ServerUrls, TooLongIsReportedNotCut) {
  std::string host(230, 'h');
  char dir[256];
  ASSERT_TRUE(FormUpdateDirectoryUrl(false, host.c_str(), dir, sizeof dir));
  char url[256];
  EXPECT_FALSE(FormServerUrl(dir, "Disc_01", "Install.ini", url, sizeof url));
  EXPECT_LT(strlen(url), sizeof url);
  std::string longer(250, 'h');
  EXPECT_FALSE(FormUpdateDirectoryUrl(true, longer.c_str(), dir, sizeof dir));
  // An escaped byte that does not fit whole is not half written.
  char small[12];
  EXPECT_FALSE(FormServerUrl("h", "D", "ab\xE9", small, sizeof small));
  EXPECT_STREQ(small, "h/KelvaranD");
}

TEST(StagingPaths, DiscFolderAndFile) {
  char path[256];
  ASSERT_TRUE(FormStagingPath("T:\\V92Demo\\QuarnWin32\\Install\\", "Disc_01", "Install.ini", path,
                              sizeof path));
  EXPECT_STREQ(path, "T:\\V92Demo\\QuarnWin32\\Install\\Disc_01\\Install.ini");
  ASSERT_TRUE(FormStagingPath("T:\\V92Demo\\QuarnWin32\\Install\\", "Disc_02", nullptr, path,
                              sizeof path));
  EXPECT_STREQ(path, "T:\\V92Demo\\QuarnWin32\\Install\\Disc_02");
  ASSERT_TRUE(FormStagingPath("C:\\R\\QuarnWin32\\Install\\", "Disc_01", "Help\\a.hlp", path,
                              sizeof path));
  EXPECT_STREQ(path, "C:\\R\\QuarnWin32\\Install\\Disc_01\\Help\\a.hlp");
  std::string folder = "C:\\" + std::string(240, 'r') + "\\";
  EXPECT_FALSE(FormStagingPath(folder.c_str(), "Disc_01", "Install.ini", path, sizeof path));
}

TEST(SetNames, DiscFoldersSectionsAndLists) {
  char a[32], b[32], c[32];
  FormDiscFolder(1, a, sizeof a);
  FormDiscSection(1, b, sizeof b);
  FormFileListName(1, c, sizeof c);
  EXPECT_STREQ(a, "Disc_01");
  EXPECT_STREQ(b, "Disc01");
  EXPECT_STREQ(c, "Fajls_1.ini");
  FormDiscFolder(15, a, sizeof a);
  FormDiscSection(15, b, sizeof b);
  FormFileListName(15, c, sizeof c);
  EXPECT_STREQ(a, "Disc_15");
  EXPECT_STREQ(b, "Disc15");
  EXPECT_STREQ(c, "Fajls_15.ini");
}

TEST(ServerName, FromFileLine) {
  struct Case {
    const char* line;
    const char* name;
  } cases[] = {
      {"  \\quarnex_32.exe,*?\\QuarnWin32\\q.exe", "quarnex_32.exe"},
      {"\\a.txt \\QuarnWin32\\a.txt", "a.txt"},
      {"\\a.txt,   \\QuarnWin32\\a.txt", "a.txt"},
      {"a.txt \\x", "a.txt"},                    // no backslash to drop
      {"\\\\a.txt \\x", "\\a.txt"},              // only one backslash is dropped
      {"\\Help\\guide.hlp \\Help\\guide.hlp", "Help\\guide.hlp"},
      {"\\only", "only"},
      {"", ""},
      {"   ", ""},
      {"\\,x", ""},
  };
  for (const Case& c : cases) {
    char name[256];
    EXPECT_TRUE(FormServerName(c.line, name, sizeof name)) << c.line;
    EXPECT_STREQ(name, c.name) << c.line;
  }
  char small[4];
  EXPECT_FALSE(FormServerName("\\abcd x", small, sizeof small));
}

TEST(ServerName, SafeOnlyInsideTheDiscFolder) {
  const char* safe[] = {"a.txt", "quarnex_32.exe", "Help\\guide.hlp", "a\\b\\c.d", "x..y",
                        "..a", "\xE1rv\xED.txt"};
  for (const char* n : safe) EXPECT_TRUE(IsSafeServerName(n)) << n;
  const char* unsafe[] = {"",        "..",         "..\\x",     "a\\..\\..\\x", "a\\..",   ".",
                          ".\\a",    "...",        "C:\\x",     "C:x",          "a:b",     "\\x",
                          "\\\\srv\\share\\x", "a\\\\b", "a\\", "../x", "a/b",  "a*b",     "a?b",
                          "a|b",     "a<b",        "a>b",       "a\"b",         ". .",     "a\\. \\b",
                          "a\tb",   "file.",      "file ",     "CON",          "Help\\nul.txt"};
  for (const char* n : unsafe) EXPECT_FALSE(IsSafeServerName(n)) << n;
}

TEST(ServerName, FillerNames) {
  EXPECT_TRUE(IsFillerName("quarnex_32.exe"));
  EXPECT_TRUE(IsFillerName("xdl_y"));
  EXPECT_TRUE(IsFillerName("ex_"));
  EXPECT_FALSE(IsFillerName("EX_upper.exe"));
  EXPECT_FALSE(IsFillerName("quarn.exe"));
  EXPECT_FALSE(IsFillerName("exdl.dll"));
}

// ---- Filler decoding ----

std::string DecodeInChunks(const std::string& stored, const std::vector<size_t>& chunks) {
  FillerDecoder decoder;
  std::string out;
  size_t pos = 0;
  size_t i = 0;
  while (pos < stored.size()) {
    size_t n = chunks[i++ % chunks.size()];
    if (n > stored.size() - pos) n = stored.size() - pos;
    std::string chunk = stored.substr(pos, n);
    size_t kept = decoder.Decode(&chunk[0], n, &chunk[0]);  // in place, as the download does
    EXPECT_LE(kept, (n + 1) / 2);
    out.append(chunk, 0, kept);
    pos += n;
  }
  return out;
}

TEST(FillerDecoding, TenStoredBytesGiveTheFiveAtOddOffsets) {
  FillerDecoder d;
  char stored[] = "f1f2f3f4f5";
  char out[10];
  ASSERT_EQ(d.Decode(stored, 10, out), 5u);
  EXPECT_EQ(std::string(out, 5), "12345");
}

TEST(FillerDecoding, ParityBelongsToTheFileNotTheChunk) {
  std::string content;
  std::string stored;
  for (int i = 0; i < 1001; ++i) {
    char c = static_cast<char>((i * 37 + 11) & 0xFF);
    content += c;
    stored += static_cast<char>(0xAA);  // filler
    stored += c;
  }
  const std::vector<std::vector<size_t>> splits = {
      {2}, {1}, {3}, {7, 2, 5}, {1, 1, 4}, {511999}, {512000}, {3, 512000}, {2001}, {999, 1}};
  for (const auto& split : splits) {
    EXPECT_EQ(DecodeInChunks(stored, split), content) << "first chunk " << split[0];
  }
}

TEST(FillerDecoding, OddStoredLengthDropsTheTrailingFiller) {
  FillerDecoder d;
  char stored[] = "f1f2f";
  char out[8];
  EXPECT_EQ(d.Decode(stored, 5, out), 2u);
  EXPECT_EQ(std::string(out, 2), "12");
  char one[] = "3";  // the next chunk begins at an odd offset: a content byte
  EXPECT_EQ(d.Decode(one, 1, out), 1u);
  EXPECT_EQ(out[0], '3');
  EXPECT_EQ(d.Decode(one, 0, out), 0u);
}

// ---- Progress ----

TEST(ProgressText, PercentAndPosition) {
  struct Case {
    int64_t done, total;
    const char* text;
    int position;
  } cases[] = {
      {0, 0, "  0.0%", 0},
      {12345, 0, "  0.0%", 0},
      {0, 1000, "  0.0%", 0},
      {1, 2000, "  0.1%", 0},  // 0.5 of 1000 truncates to 0
      {500, 1000, " 50.0%", 500},
      {999, 1000, " 99.9%", 999},
      {1000, 1000, "100.0%", 1000},
      {1999, 2000, "100.0%", 999},   // 99.95 rounds up in the text, the bar truncates
      {3000, 2000, "150.0%", 1500},  // more than announced: nothing limits the value shown
      {1, 3, " 33.3%", 333},
  };
  for (const Case& c : cases) {
    double r = ProgressRatio(c.done, c.total);
    char text[32];
    FormatPercent(r, text, sizeof text);
    EXPECT_STREQ(text, c.text) << c.done << "/" << c.total;
    EXPECT_EQ(ProgressPosition(r), c.position) << c.done << "/" << c.total;
  }
  EXPECT_EQ(ProgressPosition(1e300), INT32_MAX);
  EXPECT_EQ(ProgressPosition(-1e300), INT32_MIN);
}

TEST(ProgressText, ActivityFramesCycle) {
  const char* expected[] = {"|", "/", "-", "\\", "", "|", "/"};
  for (int i = 0; i < 7; ++i) EXPECT_STREQ(ActivityFrame(i), expected[i]) << i;
}

TEST(ProgressText, DecimalNumbers) {
  struct Case {
    const char* text;
    int64_t value;
  } cases[] = {
      {"12", 12},        {"12abc", 12},  {"  42", 42},  {"-7", -7},
      {"+8", 8},         {"abc", 0},     {"", 0},       {" - 3", 0},
      {"0012", 12},      {"4294967296", 4294967296LL},
      {"99999999999999999999999", INT64_MAX},
  };
  for (const Case& c : cases) EXPECT_EQ(ParseDecimal(c.text), c.value) << c.text;
}

}  // namespace
