// The installation description formats (Install.ini and the per-disc file lists Fajls_N.ini):
// the parts and the portable parsing of their values.
//
// Every reader of the description (the download from memory, the installation steps from the staged
// files) goes through the rules here, so that both sides read a value the same way.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

#include "base/sizes.h"
#include "layout/name_rules.h"

// The seven parts in their fixed order; the names are both INI section names and key names.
enum PartIndex { kSetup = 0, kSystems, kDrawings, kBlocks, kProjects, kDatas, kHelp };
extern const char* const kPartNames[kPartCount];

// ---- Values ----

// Every description value is read with this default, and a value beginning with '*' counts as absent
// (so no real value may begin with a star).
constexpr char kAbsentValue[] = "*";

// True for a null pointer and for any value whose first character is '*', whatever follows it.
// An empty value is present (some steps treat "absent or empty" alike; they test both).
bool IsAbsentValue(const char* value);

// A decimal number as the description writes it: leading blanks (space, tab), an optional sign, then
// digits; conversion stops at the first non-digit ("12abc" is 12) and a value without digits is 0.
// Values beyond the signed 32-bit range saturate at its ends instead of wrapping.
int32_t ParseDescriptionNumber(const char* text);

// ---- Names ----

// "Disc01" .. "Disc15": the disc's section in Install.ini (always two digits).
std::string DiscSectionName(int disc);
// "Disc_01" .. "Disc_15": the disc's folder on the server and in the staging folder.
std::string DiscFolderName(int disc);
// "Fajls_1.ini" .. "Fajls_15.ini": the disc's file list (no leading zero).
std::string FileListName(int disc);
// A numbered key: stem + n in decimal without leading zeros ("File" 12 -> "File12").
std::string NumberedKey(const char* stem, int n);

// ContainsParentSegment (layout/name_rules.h) decides whether a path climbs out of its folder.

// ---- File lines (File%i values of Fajls_N.ini) ----

enum class ReplacePolicy {
  kReplace,  // no modifier: an existing target is replaced without asking
  kAsk,      // "*?": ask before replacing an existing target
  kKeep,     // "*-": leave an existing target in place; wins over "*?" in either order
};

enum class TargetBase {
  kRoot,           // the root folder <drive>:\<root>
  kWindowsFolder,  // "*%": the Windows folder
};

struct FileEntry {
  char source[kTextSize];      // path inside the disc folder as written, normally beginning with '\'
  ReplacePolicy policy;
  TargetBase base;
  char targetPath[kTextSize];  // appended unchanged to the base folder; may contain blanks
  char targetCode[kTextSize];  // the whole target code (modifiers and path): the text of message 13
};

enum class FileLineStatus {
  // Parsed: handle the file.
  kOk,
  // A '*' followed by an unknown character. The modifier list ended there and that character begins
  // targetPath. The caller reports message 13 with targetCode (Cancel stops the installation) and then
  // handles the file as parsed.
  kBadModifier,
  // The source or the target path climbs out of its folder ("..", see ContainsParentSegment) or holds a
  // name Windows treats specially (a device, a stream, a trailing dot or blank). The caller
  // reports message 13 with targetCode like a bad modifier, but must NOT copy (or download) the file:
  // the description would otherwise write outside the installation's folders.
  kUnsafePath,
  // No usable line: empty, no blank or comma after the source, an empty source, no target path after
  // the modifiers, or a piece longer than 255 characters. Nothing to copy; targetCode holds what was
  // found after the separator (possibly empty), so the caller may report it.
  kMalformed,
};

// Splits one file line into its pieces. `entry` is always fully written (empty texts on failure).
FileLineStatus ParseFileLine(const char* line, FileEntry* entry);

// ---- Program Manager commands (Command%i of Install.ini) ----

// True when the command names a help viewer ("WinHlp32.exe" or "hh.exe", case-sensitive); such a
// command gets the Windows folder for its "%s".
bool IsHelpViewerCommand(const char* command);

// The command as it is sent: every '#' becomes rootFolder ("X:\root"); in a help viewer command
// "%s" becomes windowsFolder and "%%" a single '%' (any other '%' sequence stays as written). Done in one
// pass over the server's text, which is never used as a format string; substituted folders are not
// scanned again. The result may be longer than 255 characters: the caller decides how to carry it.
std::string PrepareProgramManagerCommand(const char* command, const char* rootFolder,
                                         const char* windowsFolder);

// Whether a prepared command may be sent: LeavesProgramManagerFolder (layout/name_rules.h).

enum class GroupCommand {
  kNotCreateGroup,  // does not begin with "[CreateGroup("
  kNamed,           // begins with it and names a group (non-empty name before the first ")]")
  kNoName,          // begins with it but has no ")]" or an empty name: malformed, no shortcut
};

// The group name of a "[CreateGroup(" command: the text between "[CreateGroup(" and the first ")]",
// taken whole (commas and blanks kept). `name` is set only for kNamed.
GroupCommand ParseGroupCommand(const char* command, std::string* name);
