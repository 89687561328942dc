#include "base/resource_text_win.h"

std::string LoadResourceText(HINSTANCE instance, UINT id) {
  // A string table entry holds at most 4095 characters.
  char text[4096];
  const int n = LoadStringA(instance, id, text, sizeof text);
  return n > 0 ? std::string(text, static_cast<size_t>(n)) : std::string();
}
