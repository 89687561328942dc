// The resources the program carries, read through the same ANSI calls the program uses.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "base/resource_text_win.h"

#include "resource.h"

namespace {
std::string LoadA(UINT id) {
  // A string table entry holds at most 4095 characters; the help box is longer than the old 256.
  char buf[4096] = "";
  LoadStringA(GetModuleHandleA(nullptr), id, buf, sizeof buf);
  return buf;
}
}  // namespace

TEST(Resources, StringsComeOutInCodePage1250) {
  ASSERT_EQ(GetACP(), 1250u) << "the tests must run under the Hungarian locale";
  // "QuarnCAD telepités" (sic): é is 0xE9 in code page 1250
  EXPECT_EQ(LoadA(IDS_CAPTION), "QuarnCAD telepit\xe9s");
  // "QuarnCAD DEMO letöltés a WEB-ről:": ö 0xF6, é 0xE9, ő 0xF5
  EXPECT_EQ(LoadA(IDS_DOWNLOAD_TITLE), "QuarnCAD DEMO let\xf6lt\xe9s a WEB-r\xf5l:");
  // "Kelvaran Szerkesztő rendszer"
  EXPECT_EQ(LoadA(IDS_PRODUCT_LINE), "Kelvaran Szerkeszt\xf5 rendszer");
  // "Meglévő fájl: %s! Felül kívánja írni?": ű is absent here, ő 0xF5, í 0xED
  EXPECT_EQ(LoadA(IDS_REPLACE_FILE), "Megl\xe9v\xf5 f\xe1jl: %s! Fel\xfcl k\xedv\xe1nja \xedrni?");
}

// The boxes and status texts the program added to its string table, each the exact code page 1250
// bytes the README's table of texts of our own lists.
TEST(Resources, TextsOfOurOwnComeOutByteForByte) {
  ASSERT_EQ(GetACP(), 1250u) << "the tests must run under the Hungarian locale";
  const struct {
    UINT id;
    const char* text;
  } cases[] = {
      // "A(z) ' %s ' fájlt egy másik program használja! Zárja be a programot, majd próbálja újra!"
      {IDS_FILE_IN_USE, "A(z) ' %s ' f\xe1jlt egy m\xe1sik program haszn\xe1lja! Z\xe1rja be a programot, majd pr\xf3" "b\xe1lja \xfajra!"},
      // "A telepítő készlet elavult, csak ' %s '-ig volt érvényes! Lehet, hogy a gép dátuma hibás. A telepítés megszakad!"
      {IDS_SET_EXPIRED, "A telep\xedt\xf5 k\xe9szlet elavult, csak ' %s '-ig volt \xe9rv\xe9nyes! Lehet, hogy a g\xe9p d\xe1tuma hib\xe1s. A telep\xedt\xe9s megszakad!"},
      // "A telepítő készlet (' %s ') nem ehhez a telepítőhöz készült, a telepítés megszakad!"
      {IDS_SET_FOREIGN, "A telep\xedt\xf5 k\xe9szlet (' %s ') nem ehhez a telep\xedt\xf5h\xf6z k\xe9sz\xfclt, a telep\xedt\xe9s megszakad!"},
      // "A telepítő készlet (' %s '. kiadás) visszavont, régi kiadás, a telepítés megszakad!"
      {IDS_SET_WITHDRAWN, "A telep\xedt\xf5 k\xe9szlet (' %s '. kiad\xe1s) visszavont, r\xe9gi kiad\xe1s, a telep\xedt\xe9s megszakad!"},
      // "A QuarnCAD DEMO telepítő parancssori kapcsolói:\n\n/?  Ez a súgó.\n/S  Csendes telepítés: nem jelenik meg ablak, minden kérdésre az alapválasz érvényes (a meglévő fájl marad, a lemezkérés megszakít, a hibaüzenet OK).\n/DRIVE=X  A cél meghajtó, pl. /DRIVE=C\n/PARTS=Drawings,Blocks,Datas,Help  A választható részek, vesszővel elválasztva (az alaprészek mindig települnek).\n/NOSTART  A telepítés után a rendszer nem indul el.\n/LOG=fájl  A telepítési napló másolata ebbe a fájlba.\n/UNINSTALL  A telepített rendszer eltávolítása (/S-sel kérdés nélkül).\n\nA napló (QuarnInstall.log) az ideiglenes mappába kerül, amíg a letöltési mappa el nem készül, utána oda; az eltávolítás naplója mindig az ideiglenes mappában marad."
      {IDS_HELP, "A QuarnCAD DEMO telep\xedt\xf5 parancssori kapcsol\xf3i:\n\n/?  Ez a s\xfag\xf3.\n/S  Csendes telep\xedt\xe9s: nem jelenik meg ablak, minden k\xe9rd\xe9sre az alapv\xe1lasz \xe9rv\xe9nyes (a megl\xe9v\xf5 f\xe1jl marad, a lemezk\xe9r\xe9s megszak\xedt, a hiba\xfczenet OK).\n/DRIVE=X  A c\xe9l meghajt\xf3, pl. /DRIVE=C\n/PARTS=Drawings,Blocks,Datas,Help  A v\xe1laszthat\xf3 r\xe9szek, vessz\xf5vel elv\xe1lasztva (az alapr\xe9szek mindig telep\xfclnek).\n/NOSTART  A telep\xedt\xe9s ut\xe1n a rendszer nem indul el.\n/LOG=f\xe1jl  A telep\xedt\xe9si napl\xf3 m\xe1solata ebbe a f\xe1jlba.\n/UNINSTALL  A telep\xedtett rendszer elt\xe1vol\xedt\xe1sa (/S-sel k\xe9rd\xe9s n\xe9lk\xfcl).\n\nA napl\xf3 (QuarnInstall.log) az ideiglenes mapp\xe1" "ba ker\xfcl, am\xedg a let\xf6lt\xe9si mappa el nem k\xe9sz\xfcl, ut\xe1na oda; az elt\xe1vol\xedt\xe1s napl\xf3ja mindig az ideiglenes mapp\xe1" "ban marad."},
      // "Hibás parancssor: Ismeretlen kapcsoló: %s\n\nA részletek: /?"
      {IDS_CMD_UNKNOWN_SWITCH, "Hib\xe1s parancssor: Ismeretlen kapcsol\xf3: %s\n\nA r\xe9szletek: /?"},
      // "Hibás parancssor: Hiányzó érték: %s\n\nA részletek: /?"
      {IDS_CMD_MISSING_VALUE, "Hib\xe1s parancssor: Hi\xe1nyz\xf3 \xe9rt\xe9k: %s\n\nA r\xe9szletek: /?"},
      // "Hibás parancssor: Ennek a kapcsolónak nincs értéke: %s\n\nA részletek: /?"
      {IDS_CMD_UNEXPECTED_VALUE, "Hib\xe1s parancssor: Ennek a kapcsol\xf3nak nincs \xe9rt\xe9ke: %s\n\nA r\xe9szletek: /?"},
      // "Hibás parancssor: Hibás meghajtó: %s\n\nA részletek: /?"
      {IDS_CMD_BAD_DRIVE, "Hib\xe1s parancssor: Hib\xe1s meghajt\xf3: %s\n\nA r\xe9szletek: /?"},
      // "Hibás parancssor: Ismeretlen rész: %s\n\nA részletek: /?"
      {IDS_CMD_UNKNOWN_PART, "Hib\xe1s parancssor: Ismeretlen r\xe9sz: %s\n\nA r\xe9szletek: /?"},
      // "Hibás parancssor: Nem választható rész: %s\n\nA részletek: /?"
      {IDS_CMD_PART_NOT_OFFERED, "Hib\xe1s parancssor: Nem v\xe1laszthat\xf3 r\xe9sz: %s\n\nA r\xe9szletek: /?"},
      // "Hibás parancssor: Kétszer megadott kapcsoló: %s\n\nA részletek: /?"
      {IDS_CMD_REPEATED, "Hib\xe1s parancssor: K\xe9tszer megadott kapcsol\xf3: %s\n\nA r\xe9szletek: /?"},
      // "Hibás parancssor: Túl hosszú érték: %s\n\nA részletek: /?"
      {IDS_CMD_TOO_LONG, "Hib\xe1s parancssor: T\xfal hossz\xfa \xe9rt\xe9k: %s\n\nA r\xe9szletek: /?"},
      // "Hibás parancssor: Az /UNINSTALL mellett telepítési kapcsoló nem adható meg\n\nA részletek: /?"
      {IDS_CMD_CONFLICT, "Hib\xe1s parancssor: Az /UNINSTALL mellett telep\xedt\xe9si kapcsol\xf3 nem adhat\xf3 meg\n\nA r\xe9szletek: /?"},
      // "Nincs eltávolítható telepítés."
      {IDS_NOTHING_TO_UNINSTALL, "Nincs elt\xe1vol\xedthat\xf3 telep\xedt\xe9s."},
      // "Biztosan eltávolítja a(z) %s rendszert és minden összetevőjét?"
      {IDS_UNINSTALL_QUESTION, "Biztosan elt\xe1vol\xedtja a(z) %s rendszert \xe9s minden \xf6sszetev\xf5j\xe9t?"},
      // "Az eltávolítás befejeződött."
      {IDS_UNINSTALL_DONE, "Az elt\xe1vol\xedt\xe1s befejez\xf5" "d\xf6tt."},
      // "Az eltávolítás befejeződött.\n\nEzek a fájlok a telepítés óta megváltoztak, ezért megmaradtak:"
      {IDS_UNINSTALL_DONE_KEPT, "Az elt\xe1vol\xedt\xe1s befejez\xf5" "d\xf6tt.\n\nEzek a f\xe1jlok a telep\xedt\xe9s \xf3ta megv\xe1ltoztak, ez\xe9rt megmaradtak:"},
      // "Az eltávolítási lista megváltozott a telepítés óta, ezért az eltávolítás nem végezhető el. Telepítse újra a rendszert, majd távolítsa el!"
      {IDS_UNINSTALL_LIST_CHANGED, "Az elt\xe1vol\xedt\xe1si lista megv\xe1ltozott a telep\xedt\xe9s \xf3ta, ez\xe9rt az elt\xe1vol\xedt\xe1s nem v\xe9gezhet\xf5 el. Telep\xedtse \xfajra a rendszert, majd t\xe1vol\xedtsa el!"},
      // "újrapróbálás %d/%d ... "
      {IDS_RETRY, "\xfajrapr\xf3" "b\xe1l\xe1s %d/%d ... "},
      // "újrapróbálás %d/%d ... (%d mp) "
      {IDS_RETRY_WAIT, "\xfajrapr\xf3" "b\xe1l\xe1s %d/%d ... (%d mp) "},
      // "Nincs elég szabad hely a(z) %s meghajtón!\r\nA telepítéshez szükséges: %d MB, szabad: %d MB"
      {IDS_NO_SPACE, "Nincs el\xe9g szabad hely a(z) %s meghajt\xf3n!\r\nA telep\xedt\xe9shez sz\xfcks\xe9ges: %d MB, szabad: %d MB"},
      // "A(z) ' %s ' fájl letöltése a WEB-ről sikertelen, a telepítés megszakad!"
      {IDS_FILE_NOT_DOWNLOADED, "A(z) ' %s ' f\xe1jl let\xf6lt\xe9se a WEB-r\xf5l sikertelen, a telep\xedt\xe9s megszakad!"},
      // "A letöltött ' %s ' fájl sérült, a telepítés megszakad!"
      {IDS_FILE_DAMAGED, "A let\xf6lt\xf6tt ' %s ' f\xe1jl s\xe9r\xfclt, a telep\xedt\xe9s megszakad!"},
      // "A telepítő készlet aláírása érvénytelen, a telepítés megszakad!"
      {IDS_SET_BAD_SIGNATURE, "A telep\xedt\xf5 k\xe9szlet al\xe1\xedr\xe1sa \xe9rv\xe9nytelen, a telep\xedt\xe9s megszakad!"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(LoadA(c.id), c.text) << c.id;
    // The program's loader gives the same bytes, whatever the length.
    EXPECT_EQ(LoadResourceText(GetModuleHandleA(nullptr), c.id), c.text) << c.id;
  }
  EXPECT_EQ(LoadResourceText(GetModuleHandleA(nullptr), 59999), "");  // no such entry
}

TEST(Resources, HelpNamesEverySwitchInHungarian) {
  const std::string help = LoadResourceText(GetModuleHandleA(nullptr), IDS_HELP);
  ASSERT_GT(help.size(), 256u);  // longer than the old boxes' buffers: loaded whole
  // "A QuarnCAD DEMO telepítő parancssori kapcsolói:"
  EXPECT_EQ(help.rfind("A QuarnCAD DEMO telep\xedt\xf5 parancssori kapcsol\xf3i:\n\n", 0), 0u);
  for (const char* sw : {"/?", "/S ", "/DRIVE=X", "/PARTS=Drawings,Blocks,Datas,Help", "/NOSTART",
                         "/LOG=f\xe1jl", "/UNINSTALL"}) {
    EXPECT_NE(help.find(sw), std::string::npos) << sw;
  }
  EXPECT_EQ(help.find('\r'), std::string::npos);  // message boxes break lines at '\n'
  EXPECT_EQ(help.find("Projects"), std::string::npos);  // never offered
  // Ends with where the log is: "... mindig az ideiglenes mappában marad."
  const std::string end = "mindig az ideiglenes mapp\xe1" "ban marad.";
  ASSERT_GE(help.size(), end.size());
  EXPECT_EQ(help.substr(help.size() - end.size()), end);
}
