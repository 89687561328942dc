// The set's places on the server: host names with ports, the update folder's and a file's URLs (escaped,
// too long reported rather than cut), the disc folders, sections and lists, the server name of a file line
// and the filler names.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "layout/server_layout.h"

namespace {

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

TEST(ServerName, FillerNames) {
  EXPECT_TRUE(IsFillerName("quarnex_32.exe"));
  EXPECT_TRUE(IsFillerName("xdl_y"));
  EXPECT_TRUE(IsFillerName("ex_"));
  EXPECT_FALSE(IsFillerName("EX_upper.exe"));
  EXPECT_FALSE(IsFillerName("quarn.exe"));
  EXPECT_FALSE(IsFillerName("exdl.dll"));
}

}  // namespace
