// Placeholder body so that the program links; replaced by the real implementation.
#include "web/ini_lookup.h"

#include <cstring>

bool FindIniValue(const char*, const char*, char* value, int valueSize, const char*, int) {
  if (valueSize > 1) strcpy(value, "*");
  return false;
}
