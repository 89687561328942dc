// The staged Install.ini read through the real profile-string reader: fixtures are written to a
// temporary folder and g_state.paths.descriptionPath points at them.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "state/install_state_win.h"
#include "layout/description.h"
#include "install/description_win.h"
#include "test_files.h"

namespace {

class DiscTable : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetInstallState();
    char temp[MAX_PATH];
    ASSERT_GT(GetTempPathA(sizeof temp, temp), 0u);
    folder_ = std::string(temp) + "quarn_disc_table_" + std::to_string(GetCurrentProcessId());
    CreateDirectoryA(folder_.c_str(), nullptr);
    path_ = folder_ + "\\Install.ini";
    strcpy(g_state.paths.descriptionPath, path_.c_str());
  }
  void TearDown() override {
    DeleteFileA(path_.c_str());
    RemoveDirectoryA(folder_.c_str());
  }
  // Writes the file byte for byte (code page 1250 texts stay as they are), CRLF lines.
  void Write(const std::string& text) { ASSERT_TRUE(quarn_test::WriteCrLfFile(path_, text)) << path_; }
  static std::string Presence(int disc) {
    std::string s;
    for (int p = 0; p < kPartCount; ++p) s += g_state.choices.discTable[disc - 1].present[p] ? '1' : '0';
    return s;
  }
  std::string folder_, path_;
};

TEST_F(DiscTable, LabelsAndPartsOfNamedTwoDigitSectionsOnly) {
  Write(
      "[System]\n"
      "RootDirectory=V92Demo\n"
      "[Disc01]\n"
      "Name=QuarnCAD 1\n"
      "Setup=100\n"
      "Systems= 2000\n"
      "[Disc1]\n"          // one-digit form: not the section of disc 1
      "Name=wrong\n"
      "Projects=5\n"
      "[Disc02]\n"         // part keys but no Name: contributes nothing
      "Drawings=300\n"
      "Help=7\n"
      "[Disc03]\n"
      "Name=*hidden\n"     // a star in front means absent, whatever follows
      "Datas=1\n"
      "[Disc15]\n"         // a gap does not end the table
      "Name=Utols\xf3 lemez\n"
      "Help=0\n"
      "Datas=*\n"          // absent value: part not present
      "Blocks=\n");        // empty value: present (the key is there)
  LoadDiscTable();
  EXPECT_STREQ(g_state.choices.discTable[0].label, "QuarnCAD 1");
  EXPECT_EQ(Presence(1), "1100000");
  EXPECT_STREQ(g_state.choices.discTable[1].label, "");
  EXPECT_EQ(Presence(2), "0000000");
  EXPECT_STREQ(g_state.choices.discTable[2].label, "");
  EXPECT_EQ(Presence(3), "0000000");
  for (int d = 4; d <= 14; ++d) {
    EXPECT_STREQ(g_state.choices.discTable[d - 1].label, "") << d;
    EXPECT_EQ(Presence(d), "0000000") << d;
  }
  EXPECT_STREQ(g_state.choices.discTable[14].label, "Utols\xf3 lemez");  // "Utolsó lemez", code page 1250
  EXPECT_EQ(Presence(15), "0001001");
}

TEST_F(DiscTable, FlagsAreOnlyAddedAndTheDialogsDiscOneMarksStay) {
  // What the options dialog leaves: disc 1 holds all parts but the sample projects.
  for (int p = 0; p < kPartCount; ++p) g_state.choices.discTable[0].present[p] = p == kProjects ? 0 : 1;
  g_state.choices.discTable[1].present[kHelp] = 1;  // a mark on a disc the file does not name stays too
  strcpy(g_state.choices.discTable[1].label, "stale");
  Write(
      "[Disc01]\n"
      "Name=D1\n"
      "Projects=10\n"
      "[Disc02]\n"
      "Setup=1\n");
  LoadDiscTable();
  EXPECT_STREQ(g_state.choices.discTable[0].label, "D1");
  EXPECT_EQ(Presence(1), "1111111");
  EXPECT_STREQ(g_state.choices.discTable[1].label, "") << "a label from an earlier read must be cleared";
  EXPECT_EQ(Presence(2), "0000001");
}

TEST_F(DiscTable, MissingFileLeavesEveryLabelEmpty) {
  g_state.choices.discTable[0].present[kSetup] = 1;
  strcpy(g_state.choices.discTable[4].label, "old");
  DeleteFileA(path_.c_str());
  LoadDiscTable();
  for (int d = 1; d <= kDiscCount; ++d) EXPECT_STREQ(g_state.choices.discTable[d - 1].label, "") << d;
  EXPECT_EQ(Presence(1), "1000000");
}

TEST_F(DiscTable, LongLabelIsCutAt255) {
  Write("[Disc01]\nName=" + std::string(400, 'L') + "\nSetup=1\n");
  LoadDiscTable();
  EXPECT_EQ(strlen(g_state.choices.discTable[0].label), 255u);
  EXPECT_EQ(Presence(1), "1000000");
}

TEST_F(DiscTable, ReadDescriptionValueMatchesKeysExactly) {
  Write(
      "[Command]\n"
      "Command10=ten\n"
      "Command1=one\n"
      "Command2 = [CreateGroup(A, B)]\n"
      "[Directorys]\n"
      "Dir1=\\QuarnWin32\n");
  char v[kTextSize];
  EXPECT_TRUE(ReadDescriptionValue("Command", "Command1", v, sizeof v));
  EXPECT_STREQ(v, "one");
  EXPECT_TRUE(ReadDescriptionValue("Command", "Command2", v, sizeof v));
  EXPECT_STREQ(v, "[CreateGroup(A, B)]");
  EXPECT_FALSE(ReadDescriptionValue("Command", "Command3", v, sizeof v));
  EXPECT_STREQ(v, "*");
  EXPECT_FALSE(ReadDescriptionValue("Nothing", "Command1", v, sizeof v));
  EXPECT_TRUE(ReadDescriptionValue("Directorys", "Dir1", v, sizeof v));
  EXPECT_STREQ(v, "\\QuarnWin32");
  // A small buffer is never overrun and always terminated.
  char small[4];
  memset(small, 'x', sizeof small);
  EXPECT_TRUE(ReadDescriptionValue("Command", "Command10", small, sizeof small));
  EXPECT_STREQ(small, "ten");
  EXPECT_TRUE(ReadDescriptionValue("Command", "Command2", small, sizeof small));
  EXPECT_EQ(strlen(small), 3u);
}

}  // namespace
