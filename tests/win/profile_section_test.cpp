// The whole-section profile read against the platform's per-key reader, under the same platform: for
// every case file, every probed key and two output sizes, ProfileSection over GetPrivateProfileSectionA
// answers exactly what GetPrivateProfileStringA answers (default "*", as the copy engine reads).
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "layout/profile_section.h"
#include "layout/profile_section_win.h"
#include "test_files.h"

namespace {

struct Case {
  const char* name;
  std::string text;     // the file's bytes
  const char* section;  // the section read
};

std::string Repeat(char c, size_t n) { return std::string(n, c); }

// A list of n numbered entries, as the set publisher writes them.
std::string NumberedList(int n) {
  std::string s = "[Disc]\r\nName=BIG\r\n[Systems]\r\n";
  for (int i = 1; i <= n; ++i) {
    s += "File" + std::to_string(i) + "=\\Data\\f" + std::to_string(i) + ".dat \\QuarnWin32\\Data\\f" +
         std::to_string(i) + ".dat\r\n";
  }
  return s;
}

std::vector<Case> Cases() {
  const std::string long300 = Repeat('L', 300);
  return {
      {"duplicate keys, first wins", "[Setup]\r\nFile1=first\r\nFile1=second\r\nfile2=c\r\nFILE2=d\r\n", "Setup"},
      {"duplicate sections", "[Setup]\r\nFile1=a\r\n[Other]\r\nFile2=o\r\n[Setup]\r\nFile1=b\r\nFile2=c\r\n",
       "Setup"},
      {"section name case", "[sEtUp]\r\nFile1=x\r\n[SETUP]\r\nFile2=y\r\n", "Setup"},
      {"key case", "[Setup]\r\nfIlE1=mixed\r\nFILE2=upper\r\nfile3=lower\r\n", "Setup"},
      {"blanks around keys and values",
       "[Setup]\r\n  File1 =  spaced value  \r\n\r\n\r\nFile2=\r\n\tFile3\t=\tx\t\r\nFile4 = \r\n   \r\n", "Setup"},
      {"blank lines and no section blanks", "\r\n\r\n[Setup]\r\n\r\nFile1=a\r\n\r\n\r\nFile2=b", "Setup"},
      {"quotes", "[Setup]\r\nFile1=\"quoted\"\r\nFile2='single'\r\nFile3=\"mismatch'\r\nFile4=\"\r\n"
       "File5=\"\"\r\nFile6=\"a\"b\"\r\nFile7=\" lead\r\nFile8=trail\"\r\nFile9=\" inner blanks \"\r\n"
       "File10=''\r\nFile11=\"x\r\nFile12=a\"b\"\r\nFile13=\"'\"\r\n", "Setup"},
      {"missing =", "[Setup]\r\nFile1\r\nFile2=x\r\nFile3\r\nFile4 ; note\r\nFile5=\r\n", "Setup"},
      {"key line without = before the same key with one", "[Setup]\r\nFile1\r\nFile1=late\r\n", "Setup"},
      {"= inside values, empty key", "[Setup]\r\nFile1=a=b\r\n=novalue\r\nFile2==\r\n", "Setup"},
      {"comments", "[Setup]\r\n;File1=commented\r\nFile1=real\r\n; File2=x\r\n#File3=hash\r\nFile3=three\r\n",
       "Setup"},
      {"long lines",
       "[Setup]\r\nFile1=" + long300 + "\r\nFile2=\"" + long300 + "\"\r\nFile3=\"" + Repeat('a', 254) +
           "\"\r\nFile4=\"" + Repeat('b', 255) + "\"\r\nFile5=\"" + Repeat('c', 253) + "\"\r\nFile6=" +
           Repeat('d', 255) + "\r\nFile7=" + Repeat('e', 256) + "\r\n" + Repeat('K', 300) + "=v\r\n",
       "Setup"},
      {"code page 1250 text", "[Setup]\r\nFile1=\\\xe1rv\xedzt\xfbr\xf5 t\xfck\xf6rf\xfar\xf3g\xe9p\r\n"
       "F\xe1jl2=x\r\nFile2=\xc1\xc9\r\n", "Setup"},
      {"lone CR and LF", "[Setup]\r\nFile1=a\rFile2=b\nFile3=c\r\n", "Setup"},
      {"control and odd bytes", "[Setup]\r\nFile1=\x1a" "z\x1a\r\nFile2=\ttab\t\r\nFile3=x\x7fy\r\n", "Setup"},
      {"section absent", "[Other]\r\nFile1=x\r\n", "Setup"},
      {"section header oddities", "[ Setup ]\r\nFile1=spaced\r\n[Setup] trailing\r\nFile2=t\r\n[Setup]\r\nFile3=z\r\n",
       "Setup"},
      {"keys before any section", "File1=outside\r\n[Setup]\r\nFile2=inside\r\n", "Setup"},
      {"large list", NumberedList(10000), "Systems"},
  };
}

// Keys probed in every case: the numbered keys the engine reads, case variants, and a few others.
std::vector<std::string> ProbeKeys() {
  std::vector<std::string> keys = {"FILE1", "file2", "fIlE3", "Name", "Missing",
                                   std::string(300, 'K'), "F\xe1jl2"};
  for (int i = 0; i <= 14; ++i) keys.push_back("File" + std::to_string(i));
  for (int i : {9999, 10000, 10001}) keys.push_back("File" + std::to_string(i));
  return keys;
}

std::string FolderForCases() {
  char temp[MAX_PATH];
  GetTempPathA(sizeof temp, temp);
  std::string folder = std::string(temp) + "profile_section_test";
  CreateDirectoryA(folder.c_str(), nullptr);
  return folder;
}

TEST(ProfileSection, AnswersAsThePerKeyReaderOnAwkwardLists) {
  const std::string folder = FolderForCases();
  const std::vector<std::string> keys = ProbeKeys();
  int compared = 0;
  int present = 0;
  int index = 0;
  for (const Case& c : Cases()) {
    SCOPED_TRACE(c.name);
    const std::string path = folder + "\\case" + std::to_string(index++) + ".ini";
    quarn_test::PutFile(path, c.text);
    std::vector<char> entries;
    ASSERT_TRUE(ReadProfileSection(path.c_str(), c.section, &entries));
    const ProfileSection section(entries.data(), entries.size());
    for (const std::string& key : keys) {
      for (DWORD size : {256u, 6u, 2u}) {
        std::vector<char> expected(size, '#');
        GetPrivateProfileStringA(c.section, key.c_str(), "*", expected.data(), size, path.c_str());
        std::vector<char> got(size, '#');
        if (!section.Find(key.c_str(), got.data(), size)) CopyProfileValue("*", 1, got.data(), size);
        EXPECT_STREQ(got.data(), expected.data()) << "key " << key << ", output size " << size;
        ++compared;
        if (expected[0] != '*') ++present;
      }
    }
    DeleteFileA(path.c_str());
  }
  RemoveDirectoryA(folder.c_str());
  // The table must reach both answers, so that a reader answering "absent" throughout cannot pass.
  EXPECT_GT(present, 100);
  EXPECT_GT(compared, present);
}

// A missing file: every key absent, as from the per-key reader.
TEST(ProfileSection, MissingFileReadsAsEmpty) {
  const std::string path = FolderForCases() + "\\no such file.ini";
  std::vector<char> entries;
  ASSERT_TRUE(ReadProfileSection(path.c_str(), "Setup", &entries));
  const ProfileSection section(entries.data(), entries.size());
  char value[256] = "unchanged";
  EXPECT_FALSE(section.Find("File1", value, sizeof value));
  EXPECT_STREQ(value, "unchanged");
  char expected[256];
  GetPrivateProfileStringA("Setup", "File1", "*", expected, sizeof expected, path.c_str());
  EXPECT_STREQ(expected, "*");
}

}  // namespace
