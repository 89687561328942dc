// The group name lookup and the desktop shortcut, with real shell link files read back through the
// shell link object.
#include <windows.h>
#include <objbase.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <string>
#include <thread>

#include "state/install_state_win.h"
#include "install/shortcut_win.h"
#include "staged_description.h"
#include "test_files.h"

using namespace quarn_test;

namespace {

struct LinkFields {
  HRESULT loaded = E_FAIL;
  std::string path, description, workingFolder, iconPath, arguments;
  int iconIndex = -1;
};

// Reads a link file back on a thread of its own, so that the COM state of the test's thread is not
// touched.
LinkFields ReadLink(const std::string& linkPath) {
  LinkFields f;
  std::thread([&] {
    if (FAILED(CoInitialize(nullptr))) return;
    IShellLinkA* link = nullptr;
    if (SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                   reinterpret_cast<void**>(&link)))) {
      IPersistFile* file = nullptr;
      if (SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)))) {
        WCHAR wide[MAX_PATH + 1];
        MultiByteToWideChar(CP_ACP, 0, linkPath.c_str(), -1, wide, MAX_PATH + 1);
        f.loaded = file->Load(wide, STGM_READ);
        char buf[MAX_PATH] = "";
        link->GetPath(buf, MAX_PATH, nullptr, SLGP_RAWPATH);
        f.path = buf;
        buf[0] = '\0';
        link->GetDescription(buf, MAX_PATH);
        f.description = buf;
        buf[0] = '\0';
        link->GetWorkingDirectory(buf, MAX_PATH);
        f.workingFolder = buf;
        buf[0] = '\0';
        link->GetIconLocation(buf, MAX_PATH, &f.iconIndex);
        f.iconPath = buf;
        buf[0] = '\0';
        link->GetArguments(buf, MAX_PATH);
        f.arguments = buf;
        file->Release();
      }
      link->Release();
    }
    CoUninitialize();
  }).join();
  return f;
}

std::string DesktopFolder() {
  char desktop[MAX_PATH] = "";
  SHGetFolderPathA(nullptr, CSIDL_DESKTOP, nullptr, SHGFP_TYPE_CURRENT, desktop);
  return desktop;
}

class Shortcut : public StagedDescriptionTest {
 protected:
  void SetUp() override {
    StagedDescriptionTest::SetUp();
    desktop_ = DesktopFolder();
    ASSERT_FALSE(desktop_.empty());
    ASSERT_TRUE(PathExists(desktop_));
    root_ = Unique("QuarnTestRoot");
    quarn_test::ChooseTarget(20, root_.c_str());  // T:, a folder of the build tree
    // The installed program the link points at: a real executable with icons.
    program_ = "T:\\" + root_ + "\\QuarnWin32";
    CreateDirectoryA(("T:\\" + root_).c_str(), nullptr);
    CreateDirectoryA(program_.c_str(), nullptr);
    char self[MAX_PATH];
    GetModuleFileNameA(nullptr, self, MAX_PATH);
    ASSERT_TRUE(CopyFileA(self, (program_ + "\\QuarnWin32.exe").c_str(), FALSE));
  }
  void TearDown() override {
    for (const std::string& link : links_) DeleteFileA(link.c_str());
    DeleteFileA((program_ + "\\QuarnWin32.exe").c_str());
    RemoveDirectoryA(program_.c_str());
    RemoveDirectoryA(("T:\\" + root_).c_str());
    StagedDescriptionTest::TearDown();
  }
  // The path of a link on the desktop; removed at the end of the test.
  std::string Link(const std::string& name) {
    links_.push_back(desktop_ + "\\" + name + ".lnk");
    DeleteFileA(links_.back().c_str());
    return links_.back();
  }
  int LinkCount() const {
    WIN32_FIND_DATAA fd;
    HANDLE h = FindFirstFileA((desktop_ + "\\*.lnk").c_str(), &fd);
    if (h == INVALID_HANDLE_VALUE) return 0;
    int n = 0;
    do ++n;
    while (FindNextFileA(h, &fd));
    FindClose(h);
    return n;
  }

  std::string desktop_, root_, program_;
  std::vector<std::string> links_;
};

}  // namespace

TEST_F(Shortcut, GroupNameIsTheFirstCreateGroupCommand) {
  struct Case {
    const char* commands;
    bool found;
    const char* name;
  } cases[] = {
      {"Command1=[CreateGroup(QuarnCAD Demo,1)]\n", true, "QuarnCAD Demo,1"},  // taken whole, comma and all
      {"Command1=[ShowGroup(X,1)]\nCommand2=[CreateGroup(First)]\nCommand3=[CreateGroup(Second)]\n", true, "First"},
      {"Command1=[CreateGroup(A)][ShowGroup(A,1)]\n", true, "A"},  // up to the first ")]"
      {"Command1=[AddItem(#\\QuarnWin32\\QuarnWin32.exe,Q)]\nCommand2=[DeleteGroup(X)]\n", false, ""},
      {"Command2=[CreateGroup(Hidden)]\n", false, ""},                         // a gap before it ends the list
      {"Command1=[ShowGroup(X)]\nCommand2=*[CreateGroup(Starred)]\nCommand3=[CreateGroup(Late)]\n", false, ""},
      {"Command1=[CreateGroup(Broken]\nCommand2=[CreateGroup(Second)]\n", false, ""},  // the first one decides
      {"Command1=[CreateGroup()]\nCommand2=[CreateGroup(Second)]\n", false, ""},       // an empty name
      {"Command1= [CreateGroup(Blank)]\n", true, "Blank"},  // the reader drops the blank after "="
      {"Command1=[creategroup(Lower)]\n", false, ""},         // the command word is matched exactly
  };
  for (const Case& c : cases) {
    WriteDescription(std::string("[Command]\n") + c.commands);
    char name[256] = "junk";
    EXPECT_EQ(FindGroupName(g_state.paths.descriptionPath, name, sizeof name), c.found) << c.commands;
    if (c.found) {
      EXPECT_STREQ(name, c.name) << c.commands;
    }
  }
  // The name is bounded by the caller's buffer.
  WriteDescription("[Command]\nCommand1=[CreateGroup(QuarnCAD Demo)]\n");
  char small[6];
  EXPECT_TRUE(FindGroupName(g_state.paths.descriptionPath, small, sizeof small));
  EXPECT_STREQ(small, "Quarn");
  // No description at all: no name.
  char name[256];
  EXPECT_FALSE(FindGroupName((folder_ + "\\missing.ini").c_str(), name, sizeof name));
}

TEST_F(Shortcut, DesktopLinkNamedAfterTheGroupPointsAtTheInstalledProgram) {
  std::string group = Unique("QuarnCAD Demo ") + ",1";
  std::string link = Link(group);
  WriteDescription("[Command]\nCommand1=[CreateGroup(" + group + ")]\nCommand2=[ShowGroup(" + group + ",1)]\n");
  CreateDesktopShortcut();

  ASSERT_TRUE(PathExists(link)) << link;
  LinkFields f = ReadLink(link);
  ASSERT_EQ(f.loaded, S_OK);
  EXPECT_STRCASEEQ(f.path.c_str(), (program_ + "\\QuarnWin32.exe").c_str());
  EXPECT_EQ(f.description, group);
  EXPECT_STRCASEEQ(f.workingFolder.c_str(), program_.c_str());
  EXPECT_STRCASEEQ(f.iconPath.c_str(), (program_ + "\\QuarnWin32.exe").c_str());
  EXPECT_EQ(f.iconIndex, 0);
  EXPECT_EQ(f.arguments, "");
}

TEST_F(Shortcut, OnlyTheFirstGroupGetsALinkAndNoGroupNoLink) {
  std::string first = Unique("QuarnTest First ");
  std::string second = Unique("QuarnTest Second ");
  std::string firstLink = Link(first);
  std::string secondLink = Link(second);
  WriteDescription("[Command]\nCommand1=[CreateGroup(" + first + ")]\nCommand2=[CreateGroup(" + second + ")]\n");
  int before = LinkCount();
  CreateDesktopShortcut();
  EXPECT_TRUE(PathExists(firstLink));
  EXPECT_FALSE(PathExists(secondLink));
  EXPECT_EQ(LinkCount(), before + 1);

  // Without a group command no link is made.
  WriteDescription("[Command]\nCommand1=[ShowGroup(" + second + ",1)]\n");
  CreateDesktopShortcut();
  EXPECT_EQ(LinkCount(), before + 1);
  EXPECT_FALSE(PathExists(secondLink));
}

TEST_F(Shortcut, AGroupNameCannotPlaceTheLinkOutsideTheDesktop) {
  std::string escape = Unique("QuarnTestEscape");
  std::string outside = desktop_ + "\\..\\" + escape + ".lnk";
  links_.push_back(outside);
  WriteDescription("[Command]\nCommand1=[CreateGroup(..\\" + escape + ")]\n");
  int before = LinkCount();
  CreateDesktopShortcut();
  EXPECT_FALSE(PathExists(outside));
  EXPECT_EQ(LinkCount(), before);
}

TEST_F(Shortcut, ShellLinkReplacesAnExistingLink) {
  std::string link = Link(Unique("QuarnTest Replace "));
  ASSERT_TRUE(CreateShellLink("C:\\windows\\notepad.exe", "old", "C:\\windows", link.c_str()));
  ASSERT_TRUE(CreateShellLink((program_ + "\\QuarnWin32.exe").c_str(), "new", program_.c_str(), link.c_str()));
  LinkFields f = ReadLink(link);
  ASSERT_EQ(f.loaded, S_OK);
  EXPECT_STRCASEEQ(f.path.c_str(), (program_ + "\\QuarnWin32.exe").c_str());
  EXPECT_EQ(f.description, "new");
}

TEST_F(Shortcut, ShellLinkReportsALinkItCouldNotSave) {
  std::string link = "T:\\" + Unique("QuarnTestNoSuchFolder") + "\\x.lnk";
  EXPECT_FALSE(CreateShellLink((program_ + "\\QuarnWin32.exe").c_str(), "x", program_.c_str(), link.c_str()));
  EXPECT_FALSE(PathExists(link));
}

TEST_F(Shortcut, ComIsInitialisedOnlyForTheDurationOfTheCall) {
  std::string link = Link(Unique("QuarnTest Com "));
  std::string target = program_ + "\\QuarnWin32.exe";

  // On a thread without COM: afterwards the thread is free to choose the multithreaded apartment, which
  // it could not if the single-threaded one had been left behind.
  HRESULT afterwards = E_FAIL;
  bool result = false;
  std::thread([&] {
    result = CreateShellLink(target.c_str(), "com", program_.c_str(), link.c_str());
    afterwards = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    if (SUCCEEDED(afterwards)) CoUninitialize();
  }).join();
  EXPECT_TRUE(result);
  EXPECT_EQ(afterwards, S_OK);

  // On a thread already in the multithreaded apartment the link is still made, and the thread's own COM
  // is left as it was (not uninitialised on its behalf).
  HRESULT stillUsable = E_FAIL;
  std::thread([&] {
    if (FAILED(CoInitializeEx(nullptr, COINIT_MULTITHREADED))) return;
    DeleteFileA(link.c_str());
    result = CreateShellLink(target.c_str(), "mta", program_.c_str(), link.c_str());
    IShellLinkA* probe = nullptr;
    stillUsable = CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                   reinterpret_cast<void**>(&probe));
    if (probe) probe->Release();
    CoUninitialize();
  }).join();
  EXPECT_TRUE(result);
  EXPECT_EQ(stillUsable, S_OK);
  EXPECT_EQ(ReadLink(link).description, "mta");
}
