// The resources the program carries, read through the same ANSI calls the program uses.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "resource.h"

namespace {
std::string LoadA(UINT id) {
  char buf[256] = "";
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
