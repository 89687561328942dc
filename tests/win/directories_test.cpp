// CreateSystemDirectories and CreateStagingFolders on a real (Wine-mapped) drive.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <set>
#include <string>

#include "state/install_state_win.h"
#include "install/directories_win.h"
#include "test_files.h"

namespace {

using quarn_test::DirExists;
using quarn_test::PathExists;
using quarn_test::RemoveTree;

constexpr int kDriveT = 20;  // T:, mapped by the test prefix to a folder of the build

// Every path below root (folders end with '\'), for comparing trees.
void ListTree(const std::string& root, const std::string& rel, std::set<std::string>* out) {
  WIN32_FIND_DATAA fd;
  HANDLE h = FindFirstFileA((root + rel + "\\*").c_str(), &fd);
  if (h == INVALID_HANDLE_VALUE) return;
  do {
    std::string name = fd.cFileName;
    if (name == "." || name == "..") continue;
    if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      out->insert(rel + "\\" + name + "\\");
      ListTree(root, rel + "\\" + name, out);
    } else {
      out->insert(rel + "\\" + name);
    }
  } while (FindNextFileA(h, &fd));
  FindClose(h);
}

class SystemDirectories : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetInstallState();
    quarn_test::ChooseTarget(kDriveT, "WorkerDirTest");
    root_ = "T:\\WorkerDirTest";
    RemoveTree(root_);
    RemoveTree("T:\\Escaped");
    char temp[MAX_PATH];
    GetTempPathA(sizeof temp, temp);
    description_ = std::string(temp) + "quarn_dirs_Install.ini";
    strcpy(g_state.paths.descriptionPath, description_.c_str());
  }
  void TearDown() override {
    RemoveTree(root_);
    RemoveTree("T:\\Escaped");
    DeleteFileA(description_.c_str());
    ResetInstallState();
  }
  // The staged description is written by the installer's publisher with CR LF line ends.
  void WriteDescription(const std::string& body) {
    FILE* f = fopen(description_.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    fwrite(body.data(), 1, body.size(), f);
    fclose(f);
  }
  std::set<std::string> Tree() {
    std::set<std::string> t;
    ListTree(root_, "", &t);
    return t;
  }
  std::string root_;
  std::string description_;
};

TEST_F(SystemDirectories, EmptyListStillMakesTheRootFolder) {
  WriteDescription("[System]\r\nRootDirectory=WorkerDirTest\r\n[Directorys]\r\n");
  CreateSystemDirectories();
  EXPECT_TRUE(DirExists(root_));
  EXPECT_TRUE(Tree().empty());
}

TEST_F(SystemDirectories, MissingDescriptionStillMakesTheRootFolder) {
  // No file at all: every value is absent.
  CreateSystemDirectories();
  EXPECT_TRUE(DirExists(root_));
}

TEST_F(SystemDirectories, ListInOrderOneLevelEachAndStopsAtTheFirstGap) {
  WriteDescription(
      "[Directorys]\r\n"
      "Dir1=\\QuarnWin32\r\n"
      "Dir2=\\QuarnWin32\\Minta rajzok\r\n"
      "Dir3=\\Deep\\Er\r\n"  // parent never listed: one level per entry, so not made
      "Dir4=\\Data\r\n"
      "Dir6=\\AfterTheGap\r\n");
  CreateSystemDirectories();
  std::set<std::string> expected = {"\\QuarnWin32\\", "\\QuarnWin32\\Minta rajzok\\", "\\Data\\"};
  EXPECT_EQ(Tree(), expected);
}

TEST_F(SystemDirectories, ChildBeforeParentLeavesTheChildUncreated) {
  WriteDescription("[Directorys]\r\nDir1=\\Parent\\Child\r\nDir2=\\Parent\r\n");
  CreateSystemDirectories();
  EXPECT_TRUE(DirExists(root_ + "\\Parent"));
  EXPECT_FALSE(PathExists(root_ + "\\Parent\\Child"));
}

TEST_F(SystemDirectories, RunningTwiceChangesNothing) {
  WriteDescription("[Directorys]\r\nDir1=\\A\r\nDir2=\\A\\B\r\nDir3=\\C\r\n");
  CreateSystemDirectories();
  // Something already installed in one of the folders must survive the second run.
  FILE* f = fopen((root_ + "\\A\\B\\kept.txt").c_str(), "wb");
  ASSERT_NE(f, nullptr);
  fputs("kept", f);
  fclose(f);
  std::set<std::string> first = Tree();
  CreateSystemDirectories();
  EXPECT_EQ(Tree(), first);
  std::set<std::string> expected = {"\\A\\", "\\A\\B\\", "\\A\\B\\kept.txt", "\\C\\"};
  EXPECT_EQ(first, expected);
}

TEST_F(SystemDirectories, ValuesThatWouldLeaveTheRootFolderAreSkipped) {
  WriteDescription(
      "[Directorys]\r\n"
      "Dir1=\\..\\Escaped\r\n"
      "Dir2=Sibling\r\n"
      "Dir3=\\Kept\r\n");
  CreateSystemDirectories();
  EXPECT_FALSE(PathExists("T:\\Escaped"));
  EXPECT_FALSE(PathExists("T:\\WorkerDirTestSibling"));
  std::set<std::string> expected = {"\\Kept\\"};
  EXPECT_EQ(Tree(), expected);  // the list goes on after a skipped value
}

TEST_F(SystemDirectories, NothingIsMadeForARootNameThatIsNotOneFolder) {
  quarn_test::ChooseTarget(kDriveT, "..\\Escaped");
  WriteDescription("[Directorys]\r\nDir1=\\X\r\n");
  CreateSystemDirectories();
  EXPECT_FALSE(PathExists("T:\\Escaped"));
}

class StagingFolders : public SystemDirectories {};

TEST_F(StagingFolders, MakesRootProgramAndStagingFolder) {
  EXPECT_TRUE(CreateStagingFolders());
  EXPECT_TRUE(DirExists(root_ + "\\QuarnWin32\\Install"));
  // Present already: still 0, nothing changed.
  std::set<std::string> before = Tree();
  EXPECT_TRUE(CreateStagingFolders());
  EXPECT_EQ(Tree(), before);
}

TEST_F(StagingFolders, AFileInTheWayIsAFailureAndStopsTheChain) {
  ASSERT_TRUE(CreateDirectoryA(root_.c_str(), nullptr));
  FILE* f = fopen((root_ + "\\QuarnWin32").c_str(), "wb");
  ASSERT_NE(f, nullptr);
  fclose(f);
  EXPECT_FALSE(CreateStagingFolders());
  EXPECT_FALSE(DirExists(root_ + "\\QuarnWin32"));
}

TEST_F(StagingFolders, UnmappedDriveOrBadRootNameFails) {
  quarn_test::ChooseTarget(17, "WorkerDirTest");  // Q: is not mapped in the test prefix
  EXPECT_FALSE(CreateStagingFolders());
  quarn_test::ChooseTarget(kDriveT, "..");
  EXPECT_FALSE(CreateStagingFolders());
  quarn_test::ChooseTarget(kDriveT, "");
  EXPECT_FALSE(CreateStagingFolders());
}

}  // namespace
