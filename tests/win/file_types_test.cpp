// File type associations written into the real registry of the test prefix.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "state/install_state_win.h"
#include "install/file_types_win.h"
#include "staged_description.h"
#include "test_files.h"

using namespace quarn_test;

namespace {

class FileTypes : public StagedDescriptionTest {
 protected:
  void SetUp() override {
    StagedDescriptionTest::SetUp();
    tag_ = std::to_string(GetCurrentProcessId());
    quarn_test::ChooseTarget(20, "V92Demo");  // T:
    Cleanup();
  }
  void TearDown() override {
    Cleanup();
    StagedDescriptionTest::TearDown();
  }
  void Cleanup() {
    for (int i = 1; i <= 8; ++i) {
      DeleteTree(HKEY_LOCAL_MACHINE, Classes(Ext(i)));
      DeleteTree(HKEY_LOCAL_MACHINE, Classes(Cls(i)));
    }
  }
  // Names of this run: ".qt<pid>e3", "QuarnTest<pid>C3".
  std::string Ext(int i) const { return ".qt" + tag_ + "e" + std::to_string(i); }
  std::string Cls(int i) const { return "QuarnTest" + tag_ + "C" + std::to_string(i); }
  static std::string Classes(const std::string& key) { return "Software\\Classes\\" + key; }
  static std::string Default(const std::string& key) { return ReadString(HKEY_LOCAL_MACHINE, Classes(key), nullptr); }
  static bool Exists(const std::string& key) { return KeyExists(HKEY_LOCAL_MACHINE, Classes(key)); }

  std::string tag_;
};

}  // namespace

TEST_F(FileTypes, WritesTheFourKeysOfEachEntryUntilAClassIsMissing) {
  WriteDescription("[RegistryCommand]\n"
                   "FileType1=" + Ext(1) + "\nClassName1=" + Cls(1) +
                   "\nExeFile1=QuarnWin32.exe /open \"%1\"\nIconFile1=Icons\\Drawing.ico\n"
                   // the same class again: written twice, same content, its command stays
                   "FileType2=" + Ext(2) + "\nClassName2=" + Cls(1) + "\n"
                   // an icon without an open command is not written
                   "FileType3=" + Ext(3) + "\nClassName3=" + Cls(3) + "\nIconFile3=Q3.ico\n"
                   // a command without an icon; a starred icon counts as absent
                   "FileType4=" + Ext(4) + "\nClassName4=" + Cls(4) + "\nExeFile4=Q4.exe\nIconFile4=*Q4.ico\n"
                   // a starred command counts as absent, and takes the icon with it
                   "FileType5=" + Ext(5) + "\nClassName5=" + Cls(5) + "\nExeFile5=*Q5.exe\nIconFile5=Q5.ico\n"
                   // an extension without a class ends the list
                   "FileType6=" + Ext(6) + "\nExeFile6=Q6.exe\n"
                   "FileType7=" + Ext(7) + "\nClassName7=" + Cls(7) + "\nExeFile7=Q7.exe\n");
  RegisterFileTypes();

  EXPECT_EQ(Default(Ext(1)), Cls(1));
  EXPECT_EQ(Default(Cls(1)), Cls(1));
  EXPECT_EQ(Default(Cls(1) + "\\Shell\\Open\\Command"), "T:\\V92Demo\\QuarnWin32\\QuarnWin32.exe /open \"%1\"");
  EXPECT_EQ(Default(Cls(1) + "\\DefaultIcon"), "T:\\V92Demo\\QuarnWin32\\Icons\\Drawing.ico");

  EXPECT_EQ(Default(Ext(2)), Cls(1));

  EXPECT_EQ(Default(Ext(3)), Cls(3));
  EXPECT_EQ(Default(Cls(3)), Cls(3));
  EXPECT_EQ(SubkeyCount(HKEY_LOCAL_MACHINE, Classes(Cls(3))), 0u);

  EXPECT_EQ(Default(Cls(4) + "\\Shell\\Open\\Command"), "T:\\V92Demo\\QuarnWin32\\Q4.exe");
  EXPECT_FALSE(Exists(Cls(4) + "\\DefaultIcon"));

  EXPECT_EQ(Default(Cls(5)), Cls(5));
  EXPECT_EQ(SubkeyCount(HKEY_LOCAL_MACHINE, Classes(Cls(5))), 0u);

  EXPECT_FALSE(Exists(Ext(6)));
  EXPECT_FALSE(Exists(Ext(7)));
  EXPECT_FALSE(Exists(Cls(7)));
}

TEST_F(FileTypes, AGapInTheExtensionsEndsTheList) {
  WriteDescription("[RegistryCommand]\n"
                   "FileType1=" + Ext(1) + "\nClassName1=" + Cls(1) + "\n"
                   "FileType2=\nClassName2=" + Cls(2) + "\n"  // empty counts as absent
                   "FileType3=" + Ext(3) + "\nClassName3=" + Cls(3) + "\n");
  RegisterFileTypes();
  EXPECT_EQ(Default(Ext(1)), Cls(1));
  EXPECT_FALSE(Exists(Cls(2)));
  EXPECT_FALSE(Exists(Ext(3)));
  EXPECT_FALSE(Exists(Cls(3)));
}

TEST_F(FileTypes, FollowsTheTargetDriveAndRootOfThisInstallation) {
  quarn_test::ChooseTarget(22, "Quarn Demo");  // V:
  WriteDescription("[RegistryCommand]\nFileType1=" + Ext(1) + "\nClassName1=" + Cls(1) +
                   "\nExeFile1=QuarnWin32.exe\nIconFile1=QuarnWin32.exe,2\n");
  RegisterFileTypes();
  // The root holds a blank: the program's path is quoted so that the shell does not split it there.
  EXPECT_EQ(Default(Cls(1) + "\\Shell\\Open\\Command"), "\"V:\\Quarn Demo\\QuarnWin32\\QuarnWin32.exe\"");
  EXPECT_EQ(Default(Cls(1) + "\\DefaultIcon"), "V:\\Quarn Demo\\QuarnWin32\\QuarnWin32.exe,2");
}
