// The command line over arbitrary text: every buffer it fills stays terminated and bounded, an accepted
// drive is a letter, and an accepted /PARTS always holds the parts that are always installed. The log
// line formatter over the same text: one line, CR LF at its end only, bounded.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "app/command_line.h"
#include "base/log_line.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  CommandLine line;
  ParseCommandLine(text.c_str(), &line);
  if (strnlen(line.logPath, sizeof line.logPath) == sizeof line.logPath) __builtin_trap();
  if (strnlen(line.errorToken, sizeof line.errorToken) == sizeof line.errorToken) __builtin_trap();
  if (line.error == CommandLineError::kNone) {
    if (line.drive < 0 || line.drive > 26) __builtin_trap();
    if (line.partsGiven && (!line.parts[kSetup] || !line.parts[kSystems])) __builtin_trap();
    if (line.uninstall && (line.drive || line.partsGiven || line.noStart)) __builtin_trap();
  }
  const LogTime t = {2026, 12, 10, 13, 0, 0, 0};
  const std::string out = FormatLogLine(t, text);
  if (out.size() > 24 + kMaxLogText + 2) __builtin_trap();
  if (out.find('\n') != out.size() - 1 || out.find('\r') != out.size() - 2) __builtin_trap();
  return 0;
}
