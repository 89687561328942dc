// Where CentreOver puts a window: centred over a reference window, never at a negative coordinate.
#pragma once

struct CentredPosition {
  int left;
  int top;
};

// reference*: the reference window's rectangle in screen coordinates; width/height: the moved window's
// size. left = refLeft + (refWidth - width) / 2, top likewise, both divisions truncating toward zero; a
// negative result becomes 0, so the moved window's caption cannot end up above or left of the screen.
CentredPosition CentreOverPosition(int refLeft, int refTop, int refRight, int refBottom, int width, int height);
