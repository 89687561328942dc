// The command line's and the uninstaller's boxes: which string table text each situation shows, and how
// it is filled, byte for byte in code page 1250; outside names are inserted as text, never read as a
// format. The Windows tests check that the string table holds the texts copied here.
#include <gtest/gtest.h>

#include <string>

#include "app/command_line.h"
#include "app/usage_texts.h"
#include "res/resource.h"

namespace {

// The string table's texts (res/strings.rc) these tests fill.
struct TableText {
  int id;
  const char* text;
};
const TableText kCommandLineTexts[] = {
    // "Hibás parancssor: Ismeretlen kapcsoló: %s" + "A részletek: /?"
    {IDS_CMD_UNKNOWN_SWITCH, "Hib\xe1s parancssor: Ismeretlen kapcsol\xf3: %s\n\nA r\xe9szletek: /?"},
    // "Hibás parancssor: Hiányzó érték: %s"
    {IDS_CMD_MISSING_VALUE, "Hib\xe1s parancssor: Hi\xe1nyz\xf3 \xe9rt\xe9k: %s\n\nA r\xe9szletek: /?"},
    // "Hibás parancssor: Hibás meghajtó: %s"
    {IDS_CMD_BAD_DRIVE, "Hib\xe1s parancssor: Hib\xe1s meghajt\xf3: %s\n\nA r\xe9szletek: /?"},
    // "Hibás parancssor: Ismeretlen rész: %s"
    {IDS_CMD_UNKNOWN_PART, "Hib\xe1s parancssor: Ismeretlen r\xe9sz: %s\n\nA r\xe9szletek: /?"},
    // "Hibás parancssor: Nem választható rész: %s"
    {IDS_CMD_PART_NOT_OFFERED, "Hib\xe1s parancssor: Nem v\xe1laszthat\xf3 r\xe9sz: %s\n\nA r\xe9szletek: /?"},
    // "Hibás parancssor: Az /UNINSTALL mellett telepítési kapcsoló nem adható meg"
    {IDS_CMD_CONFLICT,
     "Hib\xe1s parancssor: Az /UNINSTALL mellett telep\xedt\xe9si kapcsol\xf3 nem adhat\xf3 meg\n\nA r\xe9szletek: /?"},
};

const char* CommandLineText(int id) {
  for (const auto& t : kCommandLineTexts) {
    if (t.id == id) return t.text;
  }
  return nullptr;
}

TEST(UsageTexts, UninstallQuestionTakesTheNameAsText) {
  // "Biztosan eltávolítja a(z) %s rendszert és minden összetevőjét?"
  const char question[] = "Biztosan elt\xe1vol\xedtja a(z) %s rendszert \xe9s minden \xf6sszetev\xf5j\xe9t?";
  EXPECT_EQ(UninstallQuestion(question, "QuarnCAD"),
            "Biztosan elt\xe1vol\xedtja a(z) QuarnCAD rendszert \xe9s minden \xf6sszetev\xf5j\xe9t?");
  EXPECT_EQ(UninstallQuestion(question, "%s%n"),
            "Biztosan elt\xe1vol\xedtja a(z) %s%n rendszert \xe9s minden \xf6sszetev\xf5j\xe9t?");
}

TEST(UsageTexts, CommandLineErrorSaysWhatAndWhich) {
  struct Case {
    const char* line;
    int id;
    const char* expected;
  } cases[] = {
      {"/X", IDS_CMD_UNKNOWN_SWITCH, "Hib\xe1s parancssor: Ismeretlen kapcsol\xf3: /X\n\nA r\xe9szletek: /?"},
      {"/PARTS=Extras", IDS_CMD_UNKNOWN_PART, "Hib\xe1s parancssor: Ismeretlen r\xe9sz: Extras\n\nA r\xe9szletek: /?"},
      {"/PARTS=Help,Projects", IDS_CMD_PART_NOT_OFFERED,
       "Hib\xe1s parancssor: Nem v\xe1laszthat\xf3 r\xe9sz: Projects\n\nA r\xe9szletek: /?"},
      {"/DRIVE=%s", IDS_CMD_BAD_DRIVE, "Hib\xe1s parancssor: Hib\xe1s meghajt\xf3: /DRIVE=%s\n\nA r\xe9szletek: /?"},
      {"/LOG", IDS_CMD_MISSING_VALUE, "Hib\xe1s parancssor: Hi\xe1nyz\xf3 \xe9rt\xe9k: /LOG\n\nA r\xe9szletek: /?"},
      {"/UNINSTALL /DRIVE=C", IDS_CMD_CONFLICT,
       "Hib\xe1s parancssor: Az /UNINSTALL mellett telep\xedt\xe9si kapcsol\xf3 nem adhat\xf3 meg\n\nA r\xe9szletek: /?"},
  };
  for (const auto& c : cases) {
    CommandLine line;
    ParseCommandLine(c.line, &line);
    ASSERT_EQ(CommandLineErrorTextId(line.error), c.id) << c.line;
    const char* format = CommandLineText(c.id);
    ASSERT_NE(format, nullptr) << c.line;
    EXPECT_EQ(CommandLineErrorText(line, format), c.expected) << c.line;
  }
}

TEST(UsageTexts, EveryCommandLineErrorHasATextOfItsOwn) {
  const CommandLineError errors[] = {
      CommandLineError::kUnknownSwitch, CommandLineError::kMissingValue, CommandLineError::kUnexpectedValue,
      CommandLineError::kBadDrive,      CommandLineError::kUnknownPart,  CommandLineError::kPartNotOffered,
      CommandLineError::kRepeated,      CommandLineError::kTooLong,      CommandLineError::kConflict,
  };
  const int ids[] = {IDS_CMD_UNKNOWN_SWITCH, IDS_CMD_MISSING_VALUE, IDS_CMD_UNEXPECTED_VALUE,
                     IDS_CMD_BAD_DRIVE,      IDS_CMD_UNKNOWN_PART,  IDS_CMD_PART_NOT_OFFERED,
                     IDS_CMD_REPEATED,       IDS_CMD_TOO_LONG,      IDS_CMD_CONFLICT};
  for (size_t i = 0; i < sizeof errors / sizeof errors[0]; ++i) {
    EXPECT_EQ(CommandLineErrorTextId(errors[i]), ids[i]) << i;
  }
  EXPECT_EQ(CommandLineErrorTextId(CommandLineError::kNone), 0);
}

TEST(UsageTexts, UninstallEndNamesKeptFilesUpToAScreenful) {
  // "Az eltávolítás befejeződött."
  const std::string done = "Az elt\xe1vol\xedt\xe1s befejez\xf5" "d\xf6tt.";
  // "Ezek a fájlok a telepítés óta megváltoztak, ezért megmaradtak:"
  const std::string kept =
      done + "\n\nEzek a f\xe1jlok a telep\xedt\xe9s \xf3ta megv\xe1ltoztak, ez\xe9rt megmaradtak:";
  EXPECT_EQ(UninstallDoneText(done.c_str(), kept.c_str(), {}), done);
  EXPECT_EQ(UninstallDoneText(done.c_str(), kept.c_str(), {"C:\\V92Demo\\a.ini", "C:\\V92Demo\\%s.ini"}),
            kept + "\nC:\\V92Demo\\a.ini\nC:\\V92Demo\\%s.ini");
  std::vector<std::string> many(25, "f");
  const std::string text = UninstallDoneText(done.c_str(), kept.c_str(), many);
  std::string twenty;
  for (int i = 0; i < 20; ++i) twenty += "\nf";
  EXPECT_EQ(text, kept + twenty + "\n...");
}

}  // namespace
