#include "ui/set_refusal_win.h"

#include "base/install_log_win.h"
#include "base/message_box_win.h"
#include "base/resource_text_win.h"
#include "base/text.h"
#include "res/resource.h"
#include "state/install_state_win.h"

void ShowSetRefusal(HWND owner, const char* caption, SetRefusal why, const char* fileName) {
  char text[512];
  const char* named = fileName != nullptr ? fileName : "";
  const char* logged = "";
  UINT formatId = IDS_SET_BAD_SIGNATURE;
  switch (why) {
    case SetRefusal::kDamaged:
      formatId = IDS_FILE_DAMAGED;
      logged = "a file is damaged (size or SHA-256 differs)";
      break;
    case SetRefusal::kBadSignature:
      formatId = IDS_SET_BAD_SIGNATURE;
      logged = "Sign.ini or its signature does not hold";
      break;
    case SetRefusal::kExpired:
      formatId = IDS_SET_EXPIRED;
      logged = "the signed set has expired";
      break;
    case SetRefusal::kForeign:
      formatId = IDS_SET_FOREIGN;
      logged = "the signed set is for another folder, product or version";
      break;
    case SetRefusal::kWithdrawn:
      formatId = IDS_SET_WITHDRAWN;
      logged = "the signed set's sequence is below this installer's minimum";
      break;
  }
  // The string table's text is our own; the server's or the set's value is only inserted into it.
  CopyText(text, sizeof text, FillText(LoadResourceText(g_state.windows.instance, formatId).c_str(), {named}).c_str());
  LogEvent("set refused: %s", logged);
  // In a silent run no box appears; OK is its only answer.
  ShowBox(owner, text, caption, MB_ICONERROR | MB_OK, IDOK);
}
