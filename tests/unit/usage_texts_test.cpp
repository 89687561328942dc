// The Hungarian texts of the command line and the uninstaller, byte for byte in code page 1250; outside
// names are appended as text, never read as a format.
#include <gtest/gtest.h>

#include <string>

#include "app/command_line.h"
#include "app/usage_texts.h"

namespace {

TEST(UsageTexts, HelpNamesEverySwitchInHungarian) {
  const std::string help = kHelpText;
  // "A QuarnCAD DEMO telepítő parancssori kapcsolói:"
  EXPECT_EQ(help.rfind("A QuarnCAD DEMO telep\xedt\xf5 parancssori kapcsol\xf3i:\n\n", 0), 0u);
  for (const char* sw : {"/?", "/S ", "/DRIVE=X", "/PARTS=Drawings,Blocks,Datas,Help", "/NOSTART",
                         "/LOG=f\xe1jl", "/UNINSTALL"}) {
    EXPECT_NE(help.find(sw), std::string::npos) << sw;
  }
  // "/NOSTART  A telepítés után a rendszer nem indul el."
  EXPECT_NE(help.find("/NOSTART  A telep\xedt\xe9s ut\xe1n a rendszer nem indul el.\n"), std::string::npos);
  EXPECT_EQ(help.find('\r'), std::string::npos);  // message boxes break lines at '\n'
  // Where the log is: the temporary folder until the staging folder exists, and always for a removal.
  // "A napló (QuarnInstall.log) az ideiglenes mappába kerül, amíg a letöltési mappa el nem készül, utána
  // oda; az eltávolítás naplója mindig az ideiglenes mappában marad."
  EXPECT_NE(help.find("A napl\xf3 (QuarnInstall.log) az ideiglenes mapp\xe1" "ba ker\xfcl, am\xedg a let\xf6lt\xe9si "
                      "mappa el nem k\xe9sz\xfcl, ut\xe1na oda; az elt\xe1vol\xedt\xe1s napl\xf3ja mindig az "
                      "ideiglenes mapp\xe1" "ban marad."),
            std::string::npos);
  EXPECT_EQ(help.find("mindig a telep\xedt\xe9si mapp\xe1" "ba"), std::string::npos);
  EXPECT_EQ(help.find("Projects"), std::string::npos);  // never offered
}

TEST(UsageTexts, UninstallQuestionTakesTheNameAsText) {
  // "Biztosan eltávolítja a(z) QuarnCAD rendszert és minden összetevőjét?"
  EXPECT_EQ(UninstallQuestion("QuarnCAD"),
            "Biztosan elt\xe1vol\xedtja a(z) QuarnCAD rendszert \xe9s minden \xf6sszetev\xf5j\xe9t?");
  EXPECT_EQ(UninstallQuestion("%s%n"),
            "Biztosan elt\xe1vol\xedtja a(z) %s%n rendszert \xe9s minden \xf6sszetev\xf5j\xe9t?");
}

TEST(UsageTexts, CommandLineErrorSaysWhatAndWhich) {
  struct Case {
    const char* line;
    const char* expected;
  } cases[] = {
      // "Hibás parancssor: Ismeretlen kapcsoló: /X" + "A részletek: /?"
      {"/X", "Hib\xe1s parancssor: Ismeretlen kapcsol\xf3: /X\n\nA r\xe9szletek: /?"},
      // "Hibás parancssor: Ismeretlen rész: Extras"
      {"/PARTS=Extras", "Hib\xe1s parancssor: Ismeretlen r\xe9sz: Extras\n\nA r\xe9szletek: /?"},
      // "Hibás parancssor: Nem választható rész: Projects"
      {"/PARTS=Help,Projects", "Hib\xe1s parancssor: Nem v\xe1laszthat\xf3 r\xe9sz: Projects\n\nA r\xe9szletek: /?"},
      // "Hibás parancssor: Hibás meghajtó: /DRIVE=%s"
      {"/DRIVE=%s", "Hib\xe1s parancssor: Hib\xe1s meghajt\xf3: /DRIVE=%s\n\nA r\xe9szletek: /?"},
      // "Hibás parancssor: Hiányzó érték: /LOG"
      {"/LOG", "Hib\xe1s parancssor: Hi\xe1nyz\xf3 \xe9rt\xe9k: /LOG\n\nA r\xe9szletek: /?"},
      // "Hibás parancssor: Az /UNINSTALL mellett telepítési kapcsoló nem adható meg"
      {"/UNINSTALL /DRIVE=C",
       "Hib\xe1s parancssor: Az /UNINSTALL mellett telep\xedt\xe9si kapcsol\xf3 nem adhat\xf3 meg\n\nA r\xe9szletek: /?"},
  };
  for (const auto& c : cases) {
    CommandLine line;
    ParseCommandLine(c.line, &line);
    EXPECT_EQ(CommandLineErrorText(line), c.expected) << c.line;
  }
}

TEST(UsageTexts, UninstallEndNamesKeptFilesUpToAScreenful) {
  // "Az eltávolítás befejeződött."
  const std::string done = "Az elt\xe1vol\xedt\xe1s befejez\xf5" "d\xf6tt.";
  EXPECT_EQ(UninstallDoneText({}), done);
  // "Ezek a fájlok a telepítés óta megváltoztak, ezért megmaradtak:"
  const std::string kept = "\n\nEzek a f\xe1jlok a telep\xedt\xe9s \xf3ta megv\xe1ltoztak, ez\xe9rt megmaradtak:";
  EXPECT_EQ(UninstallDoneText({"C:\\V92Demo\\a.ini", "C:\\V92Demo\\b.ini"}),
            done + kept + "\nC:\\V92Demo\\a.ini\nC:\\V92Demo\\b.ini");
  std::vector<std::string> many(25, "f");
  const std::string text = UninstallDoneText(many);
  std::string twenty;
  for (int i = 0; i < 20; ++i) twenty += "\nf";
  EXPECT_EQ(text, done + kept + twenty + "\n...");
  // "Nincs eltávolítható telepítés."
  EXPECT_STREQ(kNothingToUninstallText, "Nincs elt\xe1vol\xedthat\xf3 telep\xedt\xe9s.");
}

}  // namespace
