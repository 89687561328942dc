// The options dialog in-process, on the real QUARNWIN template: its start, the parts, the drive field and
// the drive check it runs. Message boxes are answered from a second thread, the way a user would: the
// dialog's own modal loops run on the test thread meanwhile. Drive T: is a folder mapped by the test prefix.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "state/install_state_win.h"
#include "layout/description.h"
#include "options_dialog_fixture.h"
#include "resource.h"
#include "ui/drive_chooser_win.h"

namespace {

using quarn_test::LoadA;
using quarn_test::OptionsDialog;

std::string Format1(UINT id, const char* arg) {
  char out[512];
  snprintf(out, sizeof out, LoadA(id).c_str(), arg);
  return out;
}

// A drive letter the prefix does not have.
char MissingDrive() {
  DWORD drives = GetLogicalDrives();
  for (char c = 'Q'; c >= 'H'; --c) {
    if (!(drives & (1u << (c - 'A')))) return c;
  }
  return 0;
}

TEST_F(OptionsDialog, StartsOnDriveCWithTheTemplateAndPartStates) {
  EXPECT_TRUE(Boxes().empty()) << "start-up must not complain about drive C:";
  EXPECT_EQ(Field(), "C:");
  EXPECT_EQ(g_state.choices.targetDrive, 3);
  EXPECT_EQ(CurrentDrive(), "C:");
  EXPECT_STREQ(g_state.choices.rootName, "V92Demo");
  char title[128] = "";
  GetWindowTextA(dialog_, title, sizeof title);
  EXPECT_STREQ(title, "QuarnCAD DEMO let\xf6lt\xe9s a WEB-r\xf5l:");  // "letöltés a WEB-ről:"
  EXPECT_EQ(SendDlgItemMessageA(dialog_, IDC_DRIVE_EDIT, EM_GETLIMITTEXT, 0, 0), 3);

  struct Box {
    int id;
    bool checked, enabled;
  } boxes[] = {{IDC_PART_SETUP, true, false},    {IDC_PART_SYSTEMS, true, false}, {IDC_PART_DRAWINGS, true, true},
               {IDC_PART_BLOCKS, true, true},    {IDC_PART_PROJECTS, false, false}, {IDC_PART_DATAS, true, true},
               {IDC_PART_HELP, true, true},      {IDC_START_AFTER, true, true}};
  for (const Box& b : boxes) {
    EXPECT_EQ(Checked(b.id), b.checked) << b.id;
    EXPECT_EQ(Enabled(b.id), b.enabled) << b.id;
  }
  const int32_t want[kPartCount] = {1, 1, 1, 1, 0, 1, 1};
  for (int p = 0; p < kPartCount; ++p) EXPECT_EQ(g_state.choices.partSelected[p], want[p]) << kPartNames[p];
  EXPECT_EQ(g_state.choices.startAfterInstall, 1);

  EXPECT_TRUE(Enabled(IDOK));
  EXPECT_TRUE(Enabled(IDC_CHOOSE_DRIVE));
  EXPECT_TRUE(Enabled(IDC_DRIVE_EDIT));
  EXPECT_FALSE(Enabled(IDC_HELP_BUTTON));
  EXPECT_TRUE(Enabled(IDC_INFO_BUTTON));
  EXPECT_TRUE(Enabled(IDCANCEL));

  // Disc 1 holds the six parts; every other mark is gone.
  for (int d = 0; d < kDiscCount; ++d) {
    for (int p = 0; p < kPartCount; ++p) {
      EXPECT_EQ(g_state.choices.discTable[d].present[p], d == 0 && p != kProjects ? 1 : 0) << d << " " << p;
    }
  }
}

TEST_F(OptionsDialog, ClickingTwiceRestoresFlagAndMark) {
  struct Case {
    int id;
    int32_t* flag;
  } cases[] = {{IDC_PART_DRAWINGS, &g_state.choices.partSelected[kDrawings]}, {IDC_PART_BLOCKS, &g_state.choices.partSelected[kBlocks]},
               {IDC_PART_DATAS, &g_state.choices.partSelected[kDatas]},       {IDC_PART_HELP, &g_state.choices.partSelected[kHelp]},
               {IDC_PART_SETUP, &g_state.choices.partSelected[kSetup]},       {IDC_PART_SYSTEMS, &g_state.choices.partSelected[kSystems]},
               {IDC_START_AFTER, &g_state.choices.startAfterInstall}};
  for (const Case& c : cases) {
    ASSERT_EQ(*c.flag, 1) << c.id;
    Click(c.id);
    EXPECT_EQ(*c.flag, 0) << c.id;
    EXPECT_FALSE(Checked(c.id)) << c.id;
    Click(c.id);
    EXPECT_EQ(*c.flag, 1) << c.id;
    EXPECT_TRUE(Checked(c.id)) << c.id;
  }
  // The projects box, the reserved id and Help do nothing.
  for (int id : {IDC_PART_PROJECTS, IDC_PART_RESERVED, IDC_HELP_BUTTON}) Click(id);
  EXPECT_EQ(g_state.choices.partSelected[kProjects], 0);
  EXPECT_FALSE(Checked(IDC_PART_PROJECTS));
  EXPECT_TRUE(Boxes().empty());
}

TEST_F(OptionsDialog, TypedLetterBehindTheDriveBecomesTheTarget) {
  TypeAtEnd("t");
  EXPECT_TRUE(Boxes().empty());
  EXPECT_EQ(Field(), "t:");
  EXPECT_EQ(g_state.choices.targetDrive, 20);
  EXPECT_EQ(CurrentDrive(), "T:");
  TypeAtEnd("C");
  EXPECT_EQ(Field(), "C:");
  EXPECT_EQ(g_state.choices.targetDrive, 3);
  // A colon behind the letter: three characters stay and nothing is checked.
  TypeAtEnd(":");
  EXPECT_EQ(Field(), "C::");
  EXPECT_EQ(g_state.choices.targetDrive, 3);
  EXPECT_TRUE(Boxes().empty());
}

TEST_F(OptionsDialog, DigitShowsStringOneAndChangesNothing) {
  TypeAtEnd("5");
  auto boxes = Boxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, LoadA(IDS_DRIVE_INVALID));
  EXPECT_EQ(boxes[0].caption, LoadA(IDS_CAPTION));
  EXPECT_EQ(boxes[0].owner, dialog_);
  EXPECT_EQ(Field(), "5:");
  EXPECT_EQ(g_state.choices.targetDrive, 3);
  // Install checks again, shows the same message and runs nothing else.
  Click(IDOK);
  boxes = Boxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, LoadA(IDS_DRIVE_INVALID));
  EXPECT_TRUE(IsWindow(dialog_));
  EXPECT_TRUE(Enabled(IDOK));
  EXPECT_EQ(g_state.windows.optionsDialog, nullptr) << "the web installation must not have started";
}

TEST_F(OptionsDialog, UnusableDriveShowsStringTwoWithTheUpperCaseLetter) {
  const char missing = MissingDrive();
  ASSERT_NE(missing, 0);
  const char typed[2] = {static_cast<char>(missing - 'A' + 'a'), '\0'};
  const char upper[3] = {missing, ':', '\0'};
  TypeAtEnd(typed);
  auto boxes = Boxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, Format1(IDS_DRIVE_NOT_READY, upper));
  EXPECT_NE(boxes[0].text.find(upper), std::string::npos);
  EXPECT_EQ(g_state.choices.targetDrive, 3);
  EXPECT_EQ(CurrentDrive(), "C:");
  // The rejected letter stays in the field; Install rejects it again.
  EXPECT_EQ(Field(), std::string(typed) + ":");
  Click(IDOK);
  boxes = Boxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, Format1(IDS_DRIVE_NOT_READY, upper));
  EXPECT_EQ(g_state.windows.optionsDialog, nullptr);
}

TEST_F(OptionsDialog, AnyFieldTextIsCheckedSafely) {
  const char missing = MissingDrive();
  const std::string missingText = std::string(1, missing) + "x";
  struct Case {
    std::string text;
    int box;           // 0 none, 1 or 2: the string shown
    int32_t drive;     // targetDrive afterwards
  } cases[] = {
      {"", 1, 3},       {"5", 1, 3},       {"\xe9", 1, 3},  // é
      {" C", 1, 3},     {"::", 1, 3},      {"\xc1:", 1, 3},  // Á
      {"t", 0, 20},     {"W:\\", 0, 23},   {"c:x", 0, 3},
      {missingText, 2, 3},
      {std::string(300, 'u'), 0, 21},  // more than the field may hold: cut, then U: is checked
  };
  for (const Case& c : cases) {
    g_state.choices.targetDrive = 3;
    SetCurrentDirectoryA("C:\\");
    HWND edit = GetDlgItem(dialog_, IDC_DRIVE_EDIT);
    // Set through the field's own text (as the program does), then check it as Install would.
    SendMessageA(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(c.text.c_str()));
    Boxes();
    const bool applied = ApplyTargetDrive(dialog_);
    auto boxes = Boxes();
    SCOPED_TRACE("field \"" + c.text.substr(0, 8) + "\"");
    EXPECT_EQ(applied, c.box == 0);
    EXPECT_EQ(g_state.choices.targetDrive, c.drive);
    if (c.box == 0) {
      EXPECT_TRUE(boxes.empty());
    } else {
      ASSERT_EQ(boxes.size(), 1u);
      EXPECT_EQ(boxes[0].text, c.box == 1 ? LoadA(IDS_DRIVE_INVALID)
                                          : Format1(IDS_DRIVE_NOT_READY, std::string({missing, ':'}).c_str()));
    }
    // Twice gives the same state as once.
    if (c.box == 0) {
      EXPECT_TRUE(ApplyTargetDrive(dialog_));
      EXPECT_EQ(g_state.choices.targetDrive, c.drive);
    }
  }
}

}  // namespace
