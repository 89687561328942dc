// Font installation with real TrueType fonts. The fonts are the system's DejaVu files with their family
// name changed in the name table (same length, so the file stays valid), so that the family cannot be
// known to Wine before the step adds it.
#include <windows.h>

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "state/install_state_win.h"
#include "install/fonts_win.h"
#include "staged_description.h"

using namespace quarn_test;

namespace {

constexpr const char* kFontsKey = "Software\\Microsoft\\Windows NT\\CurrentVersion\\Fonts";

// Replaces every occurrence of `from` by `to` (same length), in one-byte and in UTF-16BE form: the name
// table holds both.
int ReplaceName(std::string* data, const std::string& from, const std::string& to) {
  auto wide = [](const std::string& s) {
    std::string w;
    for (char c : s) w += std::string(1, '\0') + c;
    return w;
  };
  int count = 0;
  for (const auto& pair : {std::make_pair(from, to), std::make_pair(wide(from), wide(to))}) {
    for (size_t at = 0; (at = data->find(pair.first, at)) != std::string::npos; at += pair.second.size()) {
      data->replace(at, pair.first.size(), pair.second);
      ++count;
    }
  }
  return count;
}

int CALLBACK NoteFamily(const LOGFONTA*, const TEXTMETRICA*, DWORD, LPARAM found) {
  *reinterpret_cast<bool*>(found) = true;
  return 0;
}

bool FamilyKnown(const std::string& family) {
  HDC dc = GetDC(nullptr);
  bool found = false;
  EnumFontFamiliesA(dc, family.c_str(), NoteFamily, reinterpret_cast<LPARAM>(&found));
  ReleaseDC(nullptr, dc);
  return found;
}

// A hidden top-level window of this thread that counts the font-change broadcasts it receives.
class FontChangeCounter {
 public:
  FontChangeCounter() {
    WNDCLASSA wc = {};
    wc.lpfnWndProc = Proc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "QuarnFontChangeCounter";
    RegisterClassA(&wc);
    window_ = CreateWindowA(wc.lpszClassName, "", WS_OVERLAPPED, 0, 0, 10, 10, nullptr, nullptr, wc.hInstance, nullptr);
    count_ = 0;
  }
  ~FontChangeCounter() { DestroyWindow(window_); }
  bool ok() const { return window_ != nullptr; }
  int count() const { return count_; }

 private:
  static LRESULT CALLBACK Proc(HWND w, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_FONTCHANGE) ++count_;
    return DefWindowProcA(w, msg, wp, lp);
  }
  HWND window_;
  static int count_;
};
int FontChangeCounter::count_ = 0;

class FontInstallation : public StagedDescriptionTest {
 protected:
  void TearDown() override {
    for (const std::string& path : files_) {
      while (RemoveFontResourceA(path.c_str())) {
      }
      DeleteFileA(path.c_str());
    }
    HKEY k = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kFontsKey, 0, KEY_ALL_ACCESS, &k) == ERROR_SUCCESS) {
      for (const std::string& name : names_) RegDeleteValueA(k, name.c_str());
      RegCloseKey(k);
    }
    StagedDescriptionTest::TearDown();
  }

  // Copies a DejaVu font into the fonts folder under a file name of this run, renaming its family.
  // Returns the bare file name.
  std::string StageFont(const char* source, const std::string& family, const std::string& newFamily,
                        const char* suffix) {
    std::ifstream in(source, std::ios::binary);
    std::string data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_GT(data.size(), 10000u) << source;
    EXPECT_GT(ReplaceName(&data, family, newFamily), 0) << source;
    std::string file = Unique("QuarnTestFont") + suffix + ".ttf";
    std::string path = std::string(g_state.process.windowsFolder) + "\\Fonts\\" + file;
    std::ofstream(path, std::ios::binary).write(data.data(), static_cast<std::streamsize>(data.size()));
    files_.push_back(path);
    return file;
  }
  void ForgetName(const std::string& name) { names_.push_back(name); }

  std::vector<std::string> files_, names_;
};

const char* const kSans = "Z:\\usr\\share\\fonts\\truetype\\dejavu\\DejaVuSans.ttf";
const char* const kSerif = "Z:\\usr\\share\\fonts\\truetype\\dejavu\\DejaVuSerif.ttf";
const char* const kMono = "Z:\\usr\\share\\fonts\\truetype\\dejavu\\DejaVuSansMono.ttf";

}  // namespace

TEST_F(FontInstallation, AddsAndRegistersEachFontUntilANameIsMissing) {
  if (GetFileAttributesA(kSans) == INVALID_FILE_ATTRIBUTES) GTEST_SKIP() << "DejaVu fonts not installed";
  // Same lengths as "DejaVu Sans", "DejaVu Serif", "DejaVu Sans Mono".
  std::string sans = StageFont(kSans, "DejaVu Sans", "QuarnT Sans", "a");
  std::string serif = StageFont(kSerif, "DejaVu Serif", "QuarnT Serif", "b");
  std::string mono = StageFont(kMono, "DejaVu Sans Mono", "QuarnT Sans Mono", "c");
  std::string sansName = Unique("QuarnT Sans ") + " (TrueType)";
  std::string serifName = Unique("QuarnT Serif ") + " (TrueType)";
  ForgetName(sansName);
  ForgetName(serifName);
  ASSERT_FALSE(FamilyKnown("QuarnT Sans"));
  ASSERT_FALSE(FamilyKnown("QuarnT Serif"));
  ASSERT_FALSE(FamilyKnown("QuarnT Sans Mono"));

  WriteDescription("[FontsCommand]\nFontFile1=" + sans + "\nFontName1=" + sansName + "\nFontFile2=" + serif +
                   "\nFontName2=" + serifName + "\nFontFile3=" + mono +
                   "\n"  // no FontName3: the list ends here, this font is neither added nor registered
                   "FontFile4=" + sans + "\nFontName4=after the end\n");
  FontChangeCounter counter;
  ASSERT_TRUE(counter.ok());
  InstallFonts();

  EXPECT_TRUE(FamilyKnown("QuarnT Sans"));
  EXPECT_TRUE(FamilyKnown("QuarnT Serif"));
  EXPECT_FALSE(FamilyKnown("QuarnT Sans Mono"));
  EXPECT_EQ(counter.count(), 2) << "one broadcast per added font";
  EXPECT_EQ(ReadString(HKEY_LOCAL_MACHINE, kFontsKey, sansName.c_str()), sans);
  EXPECT_EQ(ReadString(HKEY_LOCAL_MACHINE, kFontsKey, serifName.c_str()), serif);
  EXPECT_EQ(ReadString(HKEY_LOCAL_MACHINE, kFontsKey, "after the end"), "<missing>");
  for (const std::string& name : ValueNames(HKEY_LOCAL_MACHINE, kFontsKey)) {
    EXPECT_EQ(ReadString(HKEY_LOCAL_MACHINE, kFontsKey, name.c_str()).find(mono), std::string::npos) << name;
  }
}

TEST_F(FontInstallation, RegistersAFontItCouldNotAddButNothingOutsideTheFontsFolder) {
  if (GetFileAttributesA(kSans) == INVALID_FILE_ATTRIBUTES) GTEST_SKIP() << "DejaVu fonts not installed";
  std::string sans = StageFont(kSans, "DejaVu Sans", "QuarnT Sans", "d");
  std::string missing = Unique("QuarnTestMissing") + ".ttf";
  std::string missingName = Unique("QuarnT Missing ");
  std::string escapeName = Unique("QuarnT Escape ");
  std::string sansName = Unique("QuarnT Sans ");
  ForgetName(missingName);
  ForgetName(escapeName);
  ForgetName(sansName);
  // The escaping entry points at a real font: it must be refused for its name, not for a missing file.
  std::string escaping = "..\\Fonts\\" + sans;
  ASSERT_FALSE(FamilyKnown("QuarnT Sans"));

  WriteDescription("[FontsCommand]\nFontFile1=" + missing + "\nFontName1=" + missingName + "\nFontFile2=" + escaping +
                   "\nFontName2=" + escapeName + "\nFontFile3=" + sans + "\nFontName3=" + sansName + "\n");
  FontChangeCounter counter;
  ASSERT_TRUE(counter.ok());
  InstallFonts();

  // The missing file is registered all the same (it may arrive before the next start), but no
  // broadcast announces it; the escaping name is skipped and the list goes on.
  EXPECT_EQ(ReadString(HKEY_LOCAL_MACHINE, kFontsKey, missingName.c_str()), missing);
  EXPECT_EQ(ReadString(HKEY_LOCAL_MACHINE, kFontsKey, escapeName.c_str()), "<missing>");
  EXPECT_EQ(ReadString(HKEY_LOCAL_MACHINE, kFontsKey, sansName.c_str()), sans);
  EXPECT_TRUE(FamilyKnown("QuarnT Sans"));
  EXPECT_EQ(counter.count(), 1);
}
