// The quarnset command line: `build` and `check`, with their options and help texts.
#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace quarnset {

// Exit codes.
constexpr int kExitClean = 0;     // no errors (warnings may have been printed)
constexpr int kExitFindings = 1;  // the set has errors: the installer would fail or install something wrong
constexpr int kExitUsage = 2;     // bad command line, or the work could not be done (I/O)

// args excludes the program name. Findings go to out, progress and usage messages to err.
int RunQuarnset(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace quarnset
