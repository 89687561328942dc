// Program Manager command preparation and group names over arbitrary server text: never a format string
// (a "%n" or "%s%s" must not reach printf: ASan/UBSan and the checks below would see it), '#' replaced
// everywhere, the result sized to fit.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "fuzz_common.h"
#include "layout/description.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string cmd = TakeField(data, size);
  const char* root = "T:\\V92 Demo";
  const char* windir = "C:\\windows";
  std::string out = PrepareProgramManagerCommand(cmd.c_str(), root, windir);
  size_t hashes = 0;
  for (char c : cmd) hashes += c == '#';
  if (out.find('#') != std::string::npos) __builtin_trap();  // the folders hold no '#'
  if (!IsHelpViewerCommand(cmd.c_str())) {
    // Only '#' changes: the length grows by exactly the folder's length minus one per '#'.
    if (out.size() != cmd.size() + hashes * (strlen(root) - 1)) __builtin_trap();
  }
  std::string name;
  GroupCommand g = ParseGroupCommand(cmd.c_str(), &name);
  if (g == GroupCommand::kNamed) {
    if (name.empty() || cmd.compare(0, 13, "[CreateGroup(") != 0) __builtin_trap();
    if (cmd.compare(13 + name.size(), 2, ")]") != 0) __builtin_trap();
    if (name.find(")]") != std::string::npos) __builtin_trap();
    // A command that may be sent never names a group that begins with "..".
    const size_t first = name.find_first_not_of(" \t");
    if (!LeavesProgramManagerFolder(out) && first != std::string::npos && name.compare(first, 2, "..") == 0) {
      __builtin_trap();
    }
  }
  return 0;
}
