// quarnset: publishes and checks QuarnCAD installation sets (see docs/quarnset.md).
#include <iostream>

#include "commands.h"

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  return quarnset::RunQuarnset(args, std::cout, std::cerr);
}
