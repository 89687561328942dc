#include "app/command_line.h"

#include <cstring>
#include <string>
#include <vector>

#include "base/text.h"

namespace {

char Upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

bool EqualsNoCase(const std::string& a, const char* b) {
  const size_t n = strlen(b);
  if (a.size() != n) return false;
  for (size_t i = 0; i < n; ++i) {
    if (Upper(a[i]) != Upper(b[i])) return false;
  }
  return true;
}

// Blank-separated tokens; a double quote toggles a quoted stretch in which blanks are kept; the quotes
// themselves are dropped.
std::vector<std::string> Tokens(const char* text) {
  std::vector<std::string> tokens;
  std::string current;
  bool inToken = false, quoted = false;
  for (const char* p = text; *p; ++p) {
    const char c = *p;
    if (c == '"') {
      quoted = !quoted;
      inToken = true;
    } else if (!quoted && (c == ' ' || c == '\t' || c == '\r' || c == '\n')) {
      if (inToken) tokens.push_back(current);
      current.clear();
      inToken = false;
    } else {
      current += c;
      inToken = true;
    }
  }
  if (inToken) tokens.push_back(current);
  return tokens;
}

void Fail(CommandLine* out, CommandLineError error, const std::string& token) {
  if (out->error != CommandLineError::kNone) return;  // the first problem is the one reported
  out->error = error;
  CopyText(out->errorToken, sizeof out->errorToken, token.c_str());
}

// 1..26 for "X", "X:" or "X:\" (any case); 0 otherwise.
int32_t DriveOf(const std::string& value) {
  if (value.empty() || value.size() > 3) return 0;
  const char letter = Upper(value[0]);
  if (letter < 'A' || letter > 'Z') return 0;
  if (value.size() >= 2 && value[1] != ':') return 0;
  if (value.size() == 3 && value[2] != '\\') return 0;
  return letter - 'A' + 1;
}

void ParseParts(const std::string& value, CommandLine* out) {
  out->partsGiven = true;
  for (int p = 0; p < kPartCount; ++p) out->parts[p] = 0;
  out->parts[kSetup] = 1;
  out->parts[kSystems] = 1;
  size_t start = 0;
  while (start <= value.size()) {
    size_t comma = value.find(',', start);
    if (comma == std::string::npos) comma = value.size();
    const std::string name = value.substr(start, comma - start);
    if (!name.empty()) {
      bool known = false;
      for (int p = 0; p < kPartCount; ++p) {
        if (!EqualsNoCase(name, kPartNames[p])) continue;
        known = true;
        // The options dialog offers the sample projects but never lets them be chosen: the switch
        // cannot choose them either.
        if (p == kProjects) {
          Fail(out, CommandLineError::kPartNotOffered, name);
        } else {
          out->parts[p] = 1;
        }
      }
      if (!known) Fail(out, CommandLineError::kUnknownPart, name);
    } else if (comma < value.size()) {
      Fail(out, CommandLineError::kUnknownPart, name);  // ",," or a leading comma: an empty name
    }
    start = comma + 1;
  }
}

enum Switch { kSwitchHelp, kSwitchSilent, kSwitchDrive, kSwitchParts, kSwitchNoStart, kSwitchLog, kSwitchUninstall, kSwitchCount };
struct SwitchInfo {
  const char* name;
  bool takesValue;
};
constexpr SwitchInfo kSwitches[kSwitchCount] = {{"/?", false},      {"/S", false},  {"/DRIVE", true},
                                                {"/PARTS", true},   {"/NOSTART", false}, {"/LOG", true},
                                                {"/UNINSTALL", false}};

}  // namespace

void ParseCommandLine(const char* text, CommandLine* out) {
  memset(out, 0, sizeof *out);
  out->error = CommandLineError::kNone;
  bool seen[kSwitchCount] = {};
  for (const std::string& token : Tokens(text ? text : "")) {
    out->any = true;
    const size_t eq = token.find('=');
    const std::string name = token.substr(0, eq);
    const bool hasValue = eq != std::string::npos;
    const std::string value = hasValue ? token.substr(eq + 1) : std::string();
    int which = -1;
    for (int s = 0; s < kSwitchCount; ++s) {
      if (EqualsNoCase(name, kSwitches[s].name)) which = s;
    }
    if (which < 0) {
      Fail(out, CommandLineError::kUnknownSwitch, token);
      continue;
    }
    if (seen[which]) {
      Fail(out, CommandLineError::kRepeated, name);
      continue;
    }
    seen[which] = true;
    if (kSwitches[which].takesValue && !hasValue) {
      Fail(out, CommandLineError::kMissingValue, token);
      continue;
    }
    if (!kSwitches[which].takesValue && hasValue) {
      Fail(out, CommandLineError::kUnexpectedValue, token);
      continue;
    }
    switch (which) {
      case kSwitchHelp:
        out->help = true;
        break;
      case kSwitchSilent:
        out->silent = true;
        break;
      case kSwitchNoStart:
        out->noStart = true;
        break;
      case kSwitchUninstall:
        out->uninstall = true;
        break;
      case kSwitchDrive:
        out->drive = DriveOf(value);
        if (out->drive == 0) Fail(out, CommandLineError::kBadDrive, token);
        break;
      case kSwitchParts:
        ParseParts(value, out);
        break;
      case kSwitchLog:
        if (value.empty()) {
          Fail(out, CommandLineError::kMissingValue, token);
        } else if (!CopyText(out->logPath, sizeof out->logPath, value.c_str())) {
          out->logPath[0] = '\0';
          Fail(out, CommandLineError::kTooLong, name);
        }
        break;
    }
  }
  if (out->uninstall && (out->drive != 0 || out->partsGiven || out->noStart)) {
    Fail(out, CommandLineError::kConflict, "/UNINSTALL");
  }
}

const char* CommandLineErrorName(CommandLineError error) {
  switch (error) {
    case CommandLineError::kNone:
      return "none";
    case CommandLineError::kUnknownSwitch:
      return "unknown switch";
    case CommandLineError::kMissingValue:
      return "missing value";
    case CommandLineError::kUnexpectedValue:
      return "unexpected value";
    case CommandLineError::kBadDrive:
      return "bad drive";
    case CommandLineError::kUnknownPart:
      return "unknown part";
    case CommandLineError::kPartNotOffered:
      return "part not offered";
    case CommandLineError::kRepeated:
      return "repeated switch";
    case CommandLineError::kTooLong:
      return "value too long";
    case CommandLineError::kConflict:
      return "/UNINSTALL with installation switches";
  }
  return "?";
}
