// The installer's own readers of a set, as quarnset uses them. `check` judges a set by running the very
// functions the installer runs (the server-side INI lookup, the file-line parser, the server-name rule,
// the probe scan), so a clean check means the installer reads the set as the maker intended.
#pragma once

#include <cstdint>
#include <string>

namespace quarnset::installer {

// The download's lookup over INI text held in memory. Returns false when the section or key is missing;
// *value then holds "*" like the installer's buffer. An empty key tests that the section exists.
bool ServerLookup(const std::string& text, const std::string& section, const std::string& key,
                  std::string* value);

enum class ReplacePolicy { Replace, Ask, Keep };

struct FileLine {
  bool wellFormed = false;   // a source, then a blank or comma
  std::string source;        // path inside the disc folder, as the copy engine appends it
  std::string targetCode;    // modifiers and target path
  ReplacePolicy policy = ReplacePolicy::Replace;
  bool windowsFolder = false;  // "*%": relative to the Windows folder
  bool invalidModifier = false;
  char invalidModifierChar = 0;
  bool unsafePath = false;   // source or target climbs out of its folder: the installer skips the file
  std::string targetPath;    // appended to the root folder (or the Windows folder)
};

// The copy engine's reading of a File%i value.
FileLine ParseFileLine(const std::string& value);

// The download's reading of a File%i value: the name of the file on the server and in the staging folder.
std::string ServerNameOf(const std::string& value);

// Whether the download stores the file with filler bytes ("ex_" or "dl_" anywhere in the name).
bool IsFillerName(const std::string& serverName);

// Whether the probe accepts the text of Update.ini.
bool ProbeAccepts(const std::string& text);

// Program Manager commands: whether the installer treats one as a help viewer command (its "%s" gets the
// Windows folder), and the text it sends once '#' and "%s" are replaced.
bool IsHelpCommand(const std::string& command);
std::string PreparedCommand(const std::string& command, const std::string& rootFolder, const std::string& windowsFolder);

// The group name of a "[CreateGroup(" command, as the desktop shortcut takes it.
enum class GroupName { NotCreateGroup, Named, Malformed };
GroupName ReadGroupName(const std::string& command, std::string* name);

// A part size as the installer converts it (leading blanks and a sign, digits up to the first other
// character, no digits give 0, saturating at the signed 32-bit range).
int64_t ParseNumber(const std::string& text);

}  // namespace quarnset::installer
