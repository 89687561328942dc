#include "app/usage_texts.h"

const char kHelpText[] =
    // A QuarnCAD DEMO telepítő parancssori kapcsolói:
    "A QuarnCAD DEMO telep\xedt\xf5 parancssori kapcsol\xf3i:\n\n"
    // /?  Ez a súgó.
    "/?  Ez a s\xfag\xf3.\n"
    // /S  Csendes telepítés: nem jelenik meg ablak, minden kérdésre az alapválasz érvényes (a meglévő
    // fájl marad, a lemezkérés megszakít, a hibaüzenet OK).
    "/S  Csendes telep\xedt\xe9s: nem jelenik meg ablak, minden k\xe9rd\xe9sre az alapv\xe1lasz \xe9rv\xe9nyes "
    "(a megl\xe9v\xf5 f\xe1jl marad, a lemezk\xe9r\xe9s megszak\xedt, a hiba\xfczenet OK).\n"
    // /DRIVE=X  A cél meghajtó, pl. /DRIVE=C
    "/DRIVE=X  A c\xe9l meghajt\xf3, pl. /DRIVE=C\n"
    // /PARTS=Drawings,Blocks,Datas,Help  A választható részek, vesszővel elválasztva (az
    // alaprészek mindig települnek).
    "/PARTS=Drawings,Blocks,Datas,Help  A v\xe1laszthat\xf3 r\xe9szek, vessz\xf5vel elv\xe1lasztva "
    "(az alapr\xe9szek mindig telep\xfclnek).\n"
    // /NOSTART  A telepítés után a rendszer nem indul el.
    "/NOSTART  A telep\xedt\xe9s ut\xe1n a rendszer nem indul el.\n"
    // /LOG=fájl  A telepítési napló másolata ebbe a fájlba.
    "/LOG=f\xe1jl  A telep\xedt\xe9si napl\xf3 m\xe1solata ebbe a f\xe1jlba.\n"
    // /UNINSTALL  A telepített rendszer eltávolítása (/S-sel kérdés nélkül).
    "/UNINSTALL  A telep\xedtett rendszer elt\xe1vol\xedt\xe1sa (/S-sel k\xe9rd\xe9s n\xe9lk\xfcl).\n\n"
    // A napló (QuarnInstall.log) az ideiglenes mappába kerül, amíg a letöltési mappa el nem készül,
    // utána oda; az eltávolítás naplója mindig az ideiglenes mappában marad.
    "A napl\xf3 (QuarnInstall.log) az ideiglenes mapp\xe1" "ba ker\xfcl, am\xedg a let\xf6lt\xe9si mappa el nem "
    "k\xe9sz\xfcl, ut\xe1na oda; az elt\xe1vol\xedt\xe1s napl\xf3ja mindig az ideiglenes mapp\xe1" "ban marad.";

const char kNothingToUninstallText[] = "Nincs elt\xe1vol\xedthat\xf3 telep\xedt\xe9s.";  // Nincs eltávolítható telepítés.

const char kUninstallListRefusedText[] =
    "Az elt\xe1vol\xedt\xe1si lista megv\xe1ltozott a telep\xedt\xe9s \xf3ta, ez\xe9rt az elt\xe1vol\xedt\xe1s nem v\xe9"
    "gezhet\xf5 el. Telep\xedtse \xfajra a rendszert, majd t\xe1vol\xedtsa el!";
// Az eltávolítási lista megváltozott a telepítés óta, ezért az eltávolítás nem végezhető el. Telepítse
// újra a rendszert, majd távolítsa el!

std::string UninstallQuestion(const char* systemName) {
  std::string text = "Biztosan elt\xe1vol\xedtja a(z) ";  // Biztosan eltávolítja a(z)
  text += systemName;
  text += " rendszert \xe9s minden \xf6sszetev\xf5j\xe9t?";  // rendszert és minden összetevőjét?
  return text;
}

namespace {
const char* ReasonText(CommandLineError error) {
  switch (error) {
    case CommandLineError::kNone:
      return "";
    case CommandLineError::kUnknownSwitch:
      return "Ismeretlen kapcsol\xf3";  // Ismeretlen kapcsoló
    case CommandLineError::kMissingValue:
      return "Hi\xe1nyz\xf3 \xe9rt\xe9k";  // Hiányzó érték
    case CommandLineError::kUnexpectedValue:
      return "Ennek a kapcsol\xf3nak nincs \xe9rt\xe9ke";  // Ennek a kapcsolónak nincs értéke
    case CommandLineError::kBadDrive:
      return "Hib\xe1s meghajt\xf3";  // Hibás meghajtó
    case CommandLineError::kUnknownPart:
      return "Ismeretlen r\xe9sz";  // Ismeretlen rész
    case CommandLineError::kPartNotOffered:
      return "Nem v\xe1laszthat\xf3 r\xe9sz";  // Nem választható rész
    case CommandLineError::kRepeated:
      return "K\xe9tszer megadott kapcsol\xf3";  // Kétszer megadott kapcsoló
    case CommandLineError::kTooLong:
      return "T\xfal hossz\xfa \xe9rt\xe9k";  // Túl hosszú érték
    case CommandLineError::kConflict:
      // Az /UNINSTALL mellett telepítési kapcsoló nem adható meg
      return "Az /UNINSTALL mellett telep\xedt\xe9si kapcsol\xf3 nem adhat\xf3 meg";
  }
  return "";
}
}  // namespace

std::string CommandLineErrorText(const CommandLine& line) {
  std::string text = "Hib\xe1s parancssor: ";  // Hibás parancssor:
  text += ReasonText(line.error);
  if (line.error != CommandLineError::kConflict) {
    text += ": ";
    text += line.errorToken;
  }
  text += "\n\nA r\xe9szletek: /?";  // A részletek: /?
  return text;
}

std::string UninstallDoneText(const std::vector<std::string>& keptFiles) {
  std::string text = "Az elt\xe1vol\xedt\xe1s befejez\xf5"  // Az eltávolítás befejeződött.
                     "d\xf6tt.";
  if (!keptFiles.empty()) {
    // Ezek a fájlok a telepítés óta megváltoztak, ezért megmaradtak:
    text += "\n\nEzek a f\xe1jlok a telep\xedt\xe9s \xf3ta megv\xe1ltoztak, ez\xe9rt megmaradtak:";
    // A box shows a screenful; the log has them all.
    const size_t shown = keptFiles.size() < 20 ? keptFiles.size() : 20;
    for (size_t i = 0; i < shown; ++i) text += "\n" + keptFiles[i];
    if (shown < keptFiles.size()) text += "\n...";
  }
  return text;
}
