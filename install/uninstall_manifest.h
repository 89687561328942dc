// The list of what an installation created, kept in the program folder (QuarnUninstall.lst) so that
// /UNINSTALL removes exactly that: the files with their size and SHA-256 (a file changed since is kept),
// the folders the installation made, the registry values, file types and fonts it wrote, the desktop
// shortcut, the Program Manager group, the staging folder, the uninstall entry and the installer's copy.
//
// On disk: code page 1250 text, CR LF lines. The first line is the header "QuarnUninstall 1"; every other
// line is one entry, a kind letter and its fields separated by TAB:
//
//   F <size> <sha256 hex> <path>     an installed file (created or replaced by the installation)
//   A <path>                         the file of the F line with this path was created by the installation:
//                                    nothing was at its place before (written right after that F line)
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
// line with wrong fields is skipped and counted, so that a damaged line removes nothing. The A lines came
// after the first lists were written: a reader that does not know them skips them as a newer writer's and
// takes every F line as before, so a list stays readable by the installers that came before.
#pragma once
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <unordered_set>
#include <vector>

constexpr char kManifestFileName[] = "QuarnUninstall.lst";
constexpr char kManifestHeader[] = "QuarnUninstall 1";
constexpr size_t kMaxManifestBytes = 64u * 1024 * 1024;
constexpr size_t kMaxManifestField = 1024;

struct ManifestFile {
  std::string path;
  uint64_t size = 0;
  std::string sha256;    // 64 lower-case hex digits
  bool created = false;  // nothing was at `path` before the installation wrote it (an A line)
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

// The text of the list (header first; lines in the order: C K O D F R T N S G X U P; each A line
// right after its F line).
std::string WriteManifest(const UninstallManifest& manifest);

// The same text handed to `sink` in pieces of about `pieceBytes` (the last may be shorter), so that a long
// list is written out without its whole text in memory. The file lines are those of `fileLists` one
// after the other (in place of manifest.files). Returns false as soon as `sink` does.
template <typename Sink>
bool WriteManifestTo(const UninstallManifest& manifest, std::initializer_list<const std::vector<ManifestFile>*> fileLists,
                     size_t pieceBytes, Sink sink);

// The installed files of a run in the order first recorded, one entry per path (paths equal but for the
// case of ASCII letters name the same file): a path
// recorded again replaces its entry where it stands. Adding and finding take constant time, so a run
// of many files does not search the list for each one; no path is held twice.
class ManifestFileSet {
 public:
  ManifestFileSet();
  ManifestFileSet(const ManifestFileSet&) = delete;
  ManifestFileSet& operator=(const ManifestFileSet&) = delete;

  // Adds `file`, or replaces the entry of its path. True when it was added. A path the installation
  // created stays created when it is written again (a later part, or a later run, replaces its own file).
  bool Put(ManifestFile file);
  // Marks the entry of `path` created; false when the path is not in the set.
  bool MarkCreated(const std::string& path);
  bool Contains(const std::string& path) const;
  const std::vector<ManifestFile>& files() const { return files_; }
  // Empties the set.
  void Clear() {
    index_.clear();
    files_.clear();
  }

 private:
  struct Hash {
    const ManifestFileSet* set;
    size_t operator()(size_t i) const;
  };
  struct Equal {
    const ManifestFileSet* set;
    bool operator()(size_t a, size_t b) const;
  };
  const std::string& PathAt(size_t i) const { return i == kProbe ? *probe_ : files_[i].path; }

  static constexpr size_t kProbe = static_cast<size_t>(-1);  // stands for `probe_` in a lookup
  std::vector<ManifestFile> files_;
  mutable const std::string* probe_ = nullptr;
  std::unordered_set<size_t, Hash, Equal> index_;  // positions in files_
};

struct ManifestParseResult {
  bool headerOk = false;  // false: not a list of ours (nothing in `out` is to be used)
  int badLines = 0;       // known kinds with wrong fields, skipped
  int firstBadLine = 0;   // its line number (1-based), 0 when none
  int unknownLines = 0;   // unknown kinds, skipped
};

// Reads the text of a list. Text longer than kMaxManifestBytes is refused (headerOk false). An A line
// marks every F entry of its path created (SamePathNoCase), wherever it stands; one naming no F entry
// changes nothing (there is no size or digest to check a file against).
ManifestParseResult ParseManifest(const char* text, size_t size, UninstallManifest* out);

// A reinstallation writes over the files the earlier one created: they are still the installation's
// own. Every file of `recorded` (this run's) that `earlier` (the verified list of the earlier
// installation) gives as created is marked created.
void InheritCreated(const std::vector<ManifestFile>& earlier, ManifestFileSet* recorded);

// Field escaping, exposed for the tests.
std::string EscapeManifestField(const std::string& field);
bool UnescapeManifestField(const std::string& field, std::string* out);

// True when `path` names `folder` itself or something below it: case-insensitive (ASCII letters), '\' or
// '/' as separators, and never when the path holds a ".." segment or the folder is empty. The uninstaller
// removes nothing outside the folders an installation may write to.
bool IsPathInside(const std::string& path, const std::string& folder);

// --- template definitions ---

namespace manifest_detail {
std::string Line(char kind, std::initializer_list<std::string> fields);
}  // namespace manifest_detail

template <typename Sink>
bool WriteManifestTo(const UninstallManifest& m, std::initializer_list<const std::vector<ManifestFile>*> fileLists,
                     size_t pieceBytes, Sink sink) {
  using manifest_detail::Line;
  std::string text = std::string(kManifestHeader) + "\r\n";
  bool ok = true;
  auto add = [&](const std::string& line) {
    text += line;
    if (ok && text.size() >= pieceBytes) {
      ok = sink(text);
      text.clear();
    }
  };
  if (!m.systemName.empty()) add(Line('C', {m.systemName}));
  if (!m.recordKey.empty()) add(Line('K', {m.recordKey}));
  if (!m.rootFolder.empty()) add(Line('O', {m.rootFolder}));
  for (const std::string& d : m.folders) add(Line('D', {d}));
  for (const std::vector<ManifestFile>* files : fileLists) {
    for (const ManifestFile& f : *files) {
      add(Line('F', {std::to_string(f.size), f.sha256, f.path}));
      if (f.created) add(Line('A', {f.path}));
    }
  }
  for (const ManifestValue& v : m.values) add(Line('R', {v.key, v.name, v.data}));
  for (const ManifestFileType& t : m.fileTypes) add(Line('T', {t.extension, t.className}));
  for (const ManifestFont& n : m.fonts) add(Line('N', {n.name, n.file}));
  if (!m.shortcut.empty()) add(Line('S', {m.shortcut}));
  if (!m.group.empty()) add(Line('G', {m.group}));
  if (!m.stagingFolder.empty()) add(Line('X', {m.stagingFolder}));
  if (!m.uninstallKey.empty()) add(Line('U', {m.uninstallKey}));
  if (!m.installerCopy.empty()) add(Line('P', {m.installerCopy}));
  if (ok && !text.empty()) ok = sink(text);
  return ok;
}
