// What the web installation dialog shows, remembered so that a control is written only when what it
// shows changes. Every write to the dialog from the worker is work for the dialog's thread (queued, and
// waited for before each box and end); a write that changes nothing would cost that work for nothing.
// Portable: it only decides. ui/web_display_win.h writes what it decides to the dialog.
#pragma once
#include <string>

// The dialog's text fields.
enum class WebField {
  kTitle,     // the phase line
  kStatus,    // the file being transferred or copied
  kPercent,   // "%5.1f%%"
  kActivity,  // the spinner frame of the current file
  kFrame,     // the animation frame's own text (the no-connection message)
};
constexpr int kWebFieldCount = 5;

class ShownValues {
 public:
  // True when `text` differs from what the field shows, or nothing was shown in it through here yet:
  // the caller writes it, and from now on it counts as shown. False: the field already shows exactly
  // this text. A null text is the empty text.
  bool TextChanges(WebField field, const char* text);

  // The same for the progress bar's position.
  bool BarChanges(int position);

 private:
  struct Text {
    bool known = false;
    std::string value;
  };
  Text texts_[kWebFieldCount];
  bool barKnown_ = false;
  int bar_ = 0;
};
