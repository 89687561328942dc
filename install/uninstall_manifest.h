// The list of what an installation created, kept in the program folder (QuarnUninstall.lst) so that
// /UNINSTALL removes exactly that: the files with their size and SHA-256 (a file changed since is kept),
// the folders the installation made, the registry values, file types and fonts it wrote, the desktop
// shortcut, the Program Manager group, the staging folder, the uninstall entry and the installer's copy.
//
// On disk: code page 1250 text, CR LF lines. The first line is the header "QuarnUninstall 1"; every other
// line is one entry, a kind letter and its fields separated by TAB:
//
//   F <size> <sha256 hex> <path>     an installed file (created or replaced by the installation)
//   D <path>                         a folder the installation made (in the order made)
//   R <key> <name> <data>            a string value below HKEY_LOCAL_MACHINE (name empty: the default value)
//   T <extension> <class>            a file type: "Software\Classes\<ext>" naming "<class>"
//   N <font name> <font file>        a font registered under the Fonts key
//   S <path>                         the desktop shortcut
//   G <name>                         the Program Manager group
//   X <path>                         the staging folder (removed with everything below it)
//   U <key>                          the uninstall entry's key below HKEY_LOCAL_MACHINE
//   P <path>                         the installer's copy in the program folder (removed last)
//   C <name>                         the system's name (CadSystem), for the question and the record
//   K <path>                         the record's key below HKEY_LOCAL_MACHINE
//   O <path>                         the root folder the installation went to (every file, folder,
//                                    shortcut target lies below it or below the fonts folder)
//
// Bytes below 0x20, '%' and 0x7F inside a field are written as %XX (two upper-case hex digits), so that a
// field never holds a TAB or a line end. A line of an unknown kind is skipped (a newer writer); a known
// line with wrong fields is skipped and counted, so that a damaged line removes nothing.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

constexpr char kManifestFileName[] = "QuarnUninstall.lst";
constexpr char kManifestHeader[] = "QuarnUninstall 1";
constexpr size_t kMaxManifestBytes = 64u * 1024 * 1024;
constexpr size_t kMaxManifestField = 1024;

struct ManifestFile {
  std::string path;
  uint64_t size = 0;
  std::string sha256;  // 64 lower-case hex digits
};
struct ManifestValue {
  std::string key, name, data;
};
struct ManifestFileType {
  std::string extension, className;
};
struct ManifestFont {
  std::string name, file;
};

struct UninstallManifest {
  std::string systemName;   // C
  std::string recordKey;    // K
  std::string rootFolder;   // O
  std::vector<ManifestFile> files;
  std::vector<std::string> folders;
  std::vector<ManifestValue> values;
  std::vector<ManifestFileType> fileTypes;
  std::vector<ManifestFont> fonts;
  std::string shortcut, group, stagingFolder, uninstallKey, installerCopy;
};

// The text of the list (header first; lines in the order: C K O D F R T N S G X U P).
std::string WriteManifest(const UninstallManifest& manifest);

struct ManifestParseResult {
  bool headerOk = false;  // false: not a list of ours (nothing in `out` is to be used)
  int badLines = 0;       // known kinds with wrong fields, skipped
  int firstBadLine = 0;   // its line number (1-based), 0 when none
  int unknownLines = 0;   // unknown kinds, skipped
};

// Reads the text of a list. Text longer than kMaxManifestBytes is refused (headerOk false).
ManifestParseResult ParseManifest(const char* text, size_t size, UninstallManifest* out);

// Field escaping, exposed for the tests.
std::string EscapeManifestField(const std::string& field);
bool UnescapeManifestField(const std::string& field, std::string* out);

// True when `path` names `folder` itself or something below it: case-insensitive (ASCII letters), '\' or
// '/' as separators, and never when the path holds a ".." segment or the folder is empty. The uninstaller
// removes nothing outside the folders an installation may write to.
bool IsPathInside(const std::string& path, const std::string& folder);
