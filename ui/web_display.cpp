#include "ui/web_display.h"

bool ShownValues::TextChanges(WebField field, const char* text) {
  const int i = static_cast<int>(field);
  if (i < 0 || i >= kWebFieldCount) return true;  // not tracked: always written
  if (text == nullptr) text = "";
  Text& shown = texts_[i];
  if (shown.known && shown.value == text) return false;
  shown.known = true;
  shown.value.assign(text);  // keeps its capacity: no allocation once the longest text was seen
  return true;
}

bool ShownValues::BarChanges(int position) {
  if (barKnown_ && bar_ == position) return false;
  barKnown_ = true;
  bar_ = position;
  return true;
}
