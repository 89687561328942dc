// Drive letters of the drive field and of the chooser's list, and the reduction of a field edit.
#include <gtest/gtest.h>

#include <string>

#include "ui/drive_field.h"

TEST(DriveLetter, NumbersOfLettersOnly) {
  EXPECT_EQ(DriveNumberOfLetter('A'), 1);
  EXPECT_EQ(DriveNumberOfLetter('a'), 1);
  EXPECT_EQ(DriveNumberOfLetter('D'), 4);
  EXPECT_EQ(DriveNumberOfLetter('x'), 24);
  EXPECT_EQ(DriveNumberOfLetter('Z'), 26);
  EXPECT_EQ(DriveNumberOfLetter('z'), 26);
  for (char c : {'@', '[', '`', '{', '0', '9', ' ', ':', '\0', static_cast<char>(0xE9) /* é */,
                 static_cast<char>(0xC1) /* Á */, static_cast<char>(0xF5) /* ő */}) {
    EXPECT_EQ(DriveNumberOfLetter(c), 0) << static_cast<int>(static_cast<unsigned char>(c));
  }
}

TEST(DriveLetter, ListEntriesOfBothForms) {
  struct Case {
    const char* entry;
    char letter;
  } cases[] = {
      {"c: [SYSTEM]", 'c'}, {"D:", 'D'}, {"t:", 't'},   // Windows: the entry begins with the letter
      {"[-c-]", 'c'},       {"[-T-]", 'T'}, {"[-w-]", 'w'},  // Wine
      {"", 0},              {"[-1-]", 0},   {"[--]", 0},     {"[-c", 0}, {"[-cd-]", 0},
      {"1:", 0},            {" c:", 0},     {"\xe9:", 0},  // digit, blank, accented letter
  };
  for (const Case& c : cases) EXPECT_EQ(DriveLetterOfListEntry(c.entry), c.letter) << c.entry;
  EXPECT_EQ(DriveLetterOfListEntry(nullptr), 0);
}

TEST(DriveFieldChange, ReducesEditsToTheTypedLetter) {
  struct Case {
    const char* field;
    int selStart, selEnd;
    const char* work;
    bool setField, check;
  } cases[] = {
      {"C:", 0, 0, "C:", false, true},    // set by the program: caret at the start, whole text counts
      {"C:D", 3, 3, "D:", true, true},    // a letter typed behind "C:"
      {"C:d", 3, 3, "d:", true, true},    // in the case it was typed
      {"C:5", 3, 3, "5:", true, true},    // a digit: shown with a colon, the check rejects it
      {"C::", 3, 3, "", false, false},    // a colon typed behind: nothing happens
      {":", 1, 1, "", false, false},
      {"", 0, 0, "", false, true},        // emptied: the check runs on the empty field
      {"x", 1, 1, "x:", true, true},      // a lone letter gets its colon
      {"x", 0, 0, "x:", true, true},
      {"E:\\", 0, 0, "E:", false, true},  // already "letter colon ...": the field stays
      {"C:D", 0, 3, "C:", false, true},   // a selection is no caret: the whole text counts
      {"CD", 1, 1, "C:", true, true},     // caret inside: the character before it was typed
      {"\xe9", 1, 1, "\xe9:", true, true},
      {"ab", 9, 9, "", true, true},       // a caret past the text never reads past it
  };
  for (const Case& c : cases) {
    DriveFieldChange r = ReduceDriveFieldChange(c.field, c.selStart, c.selEnd);
    SCOPED_TRACE(std::string("field \"") + c.field + "\" sel " + std::to_string(c.selStart) + "," +
                 std::to_string(c.selEnd));
    EXPECT_STREQ(r.work, c.work);
    EXPECT_EQ(r.setField, c.setField);
    EXPECT_EQ(r.check, c.check);
  }
  DriveFieldChange r = ReduceDriveFieldChange(nullptr, 0, 0);
  EXPECT_TRUE(r.check);
  EXPECT_STREQ(r.work, "");
}
