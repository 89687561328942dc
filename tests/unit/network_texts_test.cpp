// The Hungarian texts of a download that meets a bad network: the retry status, the space shortage and
// the failed file, names inserted as text, cut to their buffers.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "web/network_texts.h"

namespace {

// The string table's texts these fill (IDS_RETRY, IDS_RETRY_WAIT, IDS_NO_SPACE, IDS_FILE_NOT_DOWNLOADED);
// the Windows tests check that the table holds these very bytes.
const char kRetryText[] = "\xfajrapr\xf3" "b\xe1l\xe1s %d/%d ... ";              // "újrapróbálás %d/%d ... "
const char kRetryWaitText[] = "\xfajrapr\xf3" "b\xe1l\xe1s %d/%d ... (%d mp) ";  // "... (%d mp) "
// "Nincs elég szabad hely a(z) %s meghajtón!\r\nA telepítéshez szükséges: %d MB, szabad: %d MB"
const char kNoSpaceText[] =
    "Nincs el\xe9g szabad hely a(z) %s meghajt\xf3n!\r\nA telep\xedt\xe9shez sz\xfcks\xe9ges: %d MB, szabad: %d MB";
// "A(z) ' %s ' fájl letöltése a WEB-ről sikertelen, a telepítés megszakad!"
const char kFileFailedText[] =
    "A(z) ' %s ' f\xe1jl let\xf6lt\xe9se a WEB-r\xf5l sikertelen, a telep\xedt\xe9s megszakad!";

TEST(NetworkTexts, RetryStatus) {
  char t[256];
  FormatRetryStatus(kRetryText, 3, 5, 0, "https://... .../KelvaranDemo/Disc_01/big.dat", t, sizeof t);
  // "újrapróbálás 3/5 ... https://... .../KelvaranDemo/Disc_01/big.dat"
  EXPECT_STREQ(t, "\xfajrapr\xf3" "b\xe1l\xe1s 3/5 ... https://... .../KelvaranDemo/Disc_01/big.dat");
  FormatRetryStatus(kRetryWaitText, 2, 5, 4, "x", t, sizeof t);
  EXPECT_STREQ(t, "\xfajrapr\xf3" "b\xe1l\xe1s 2/5 ... (4 mp) x");  // "újrapróbálás 2/5 ... (4 mp) x"
  // The file's name is inserted, never read as a format.
  FormatRetryStatus(kRetryWaitText, 1, 5, 60, "%s%d%n", t, sizeof t);
  EXPECT_STREQ(t, "\xfajrapr\xf3" "b\xe1l\xe1s 1/5 ... (60 mp) %s%d%n");
  char small[20];
  FormatRetryStatus(kRetryWaitText, 2, 5, 60, std::string(300, 'a').c_str(), small, sizeof small);
  EXPECT_EQ(strlen(small), sizeof small - 1);  // cut, terminated
}

TEST(NetworkTexts, SpaceShortage) {
  char t[256];
  FormatSpaceShortage(kNoSpaceText, 'T', 30 * 1048576u + 1, 7 * 1048576u + 1048575u, t, sizeof t);
  // "Nincs elég szabad hely a(z) T: meghajtón!\r\nA telepítéshez szükséges: 31 MB, szabad: 7 MB"
  EXPECT_STREQ(t,
               "Nincs el\xe9g szabad hely a(z) T: meghajt\xf3n!\r\n"
               "A telep\xedt\xe9shez sz\xfcks\xe9ges: 31 MB, szabad: 7 MB");
  // Sizes beyond what an int holds come out whole (4 PB free).
  FormatSpaceShortage(kNoSpaceText, 'C', 1048576u, uint64_t(1) << 52, t, sizeof t);
  EXPECT_NE(std::string(t).find(": 1 MB, szabad: 4294967296 MB"), std::string::npos) << t;
}

TEST(NetworkTexts, FileFailed) {
  // "A(z) ' " + name + " ' fájl letöltése a WEB-ről sikertelen, a telepítés megszakad!"
  const std::string tail = " ' f\xe1jl let\xf6lt\xe9se a WEB-r\xf5l sikertelen, a telep\xedt\xe9s megszakad!";
  const std::string longName = std::string(300, 'n') + ".dat";
  const struct {
    const char* what;
    std::string name;
    size_t size;
    std::string expected;
  } cases[] = {
      {"a plain name", "big.dat", 256, "A(z) ' big.dat" + tail},
      {"a name in a subfolder", "Help\\guide.hlp", 256, "A(z) ' Help\\guide.hlp" + tail},
      {"a name with Hungarian letters", "r\xe9sz\xf5.dat", 256, "A(z) ' r\xe9sz\xf5.dat" + tail},
      // The sentence stays whole; the name gives way (a list's name can fill a whole buffer).
      {"a name too long for the text", longName, 128, "A(z) ' " + std::string(128 - 1 - 7 - tail.size(), 'n') + tail},
      {"no room for any name", "big.dat", 7 + tail.size() + 1, "A(z) ' " + tail},
  };
  for (const auto& c : cases) {
    std::vector<char> text(c.size, '\x7f');
    FormatFileFailed(kFileFailedText, c.name.c_str(), text.data(), text.size());
    EXPECT_EQ(std::string(text.data()), c.expected) << c.what;
    EXPECT_LT(strlen(text.data()), c.size) << c.what;
  }
}

}  // namespace
