#include "ui/centre_layout.h"

CentredPosition CentreOverPosition(int refLeft, int refTop, int refRight, int refBottom, int width, int height) {
  // C++ integer division truncates toward zero: (-301) / 2 is -150, not -151.
  int left = refLeft + ((refRight - refLeft) - width) / 2;
  int top = refTop + ((refBottom - refTop) - height) / 2;
  return CentredPosition{left < 0 ? 0 : left, top < 0 ? 0 : top};
}
