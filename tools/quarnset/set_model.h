// The installation set as quarnset sees it: what a manifest describes or what a published tree holds.
// The same rules (set_rules.h) judge both, so a refusal of `build` and a finding of `check` say the same
// thing; only the place they name differs (a manifest line, or a line of Install.ini / Fajls_N.ini).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "findings.h"
#include "layout/description.h"
#include "layout/server_layout.h"

namespace quarnset {

// The part order, their names and the names of the set's folders and files are the installer's own.
using ::DiscFolderName;   // "Disc_01"
using ::DiscSectionName;  // "Disc01"
using ::FileListName;     // "Fajls_1.ini"
using ::kPartCount;
using ::kPartNames;
using ::kSetFolder;       // "KelvaranDemo"
constexpr int kMaxDiscs = kDiscCount;
constexpr int kProjectsPart = kProjects;  // offered by the options dialog but never selectable

// A set file's path below the set tree's top, with forward slashes: "KelvaranDemo/Disc_01/<name>".
std::string SetFilePath(int disc, const std::string& name);

int FindPart(const std::string& name);              // exact spelling; -1 when unknown
int FindPartIgnoringCase(const std::string& name);  // for the human-written manifest

extern const char* const kProbeFile;        // "Update.ini"
extern const char* const kDescriptionFile;  // "Install.ini"

struct Value {
  std::string text;  // code page 1250 bytes, exactly as the installer reads them
  Where at;
};

struct FileItem {
  int part = 0;
  std::string line;        // the whole File%i value, as the installer reads it
  Where at;
  std::string local;       // build: the file on this machine; check: its path or URL in the tree
  int64_t contentSize = -1;  // bytes the installer stages (half the stored size for filler files); -1 unknown
  std::string contentSha256;  // check: SHA-256 (32 bytes) of the staged content, when the file arrived whole
};

struct PartSize {
  bool present = false;
  std::string text;   // the value of the size key (tree), or the computed number (manifest)
  int64_t bytes = 0;
  Where at;
};

struct Disc {
  int number = 0;
  Where at;                         // manifest: the disc's section; tree: its section in Install.ini
  bool described = false;           // Install.ini has a section DiscNN
  std::optional<Value> label;       // Name in section DiscNN of Install.ini
  bool hasList = false;             // Fajls_N.ini is there (and was accepted)
  Where listAt;
  std::optional<Value> listLabel;   // Name in section Disc of Fajls_N.ini
  PartSize sizes[kPartCount];       // declared (tree) or computed (manifest) part sizes
  bool declaredParts[kPartCount] = {};  // manifest: parts the disc says it carries ("Parts =")
  bool hasDeclaredParts = false;
  Where declaredAt;
  std::vector<FileItem> files;
  std::string listText;             // check: the file list as served
};

struct FontItem {
  Value file;
  Value name;
};

struct TypeItem {
  Value ext;
  Value cls;
  std::optional<Value> exe;
  std::optional<Value> icon;
};

struct SetModel {
  bool fromTree = false;
  Where descriptionAt;  // the manifest, or Install.ini
  std::optional<Value> root, cadSystem, subSystem, version;
  std::vector<Value> dirs;
  std::vector<FontItem> fonts;
  std::vector<TypeItem> types;
  std::vector<Value> commands;
  std::vector<Disc> discs;  // increasing disc numbers
  std::string descriptionText;  // tree: Install.ini as served
  int setEnd = 0;           // tree: the first disc number without an accepted file list
  std::string setEndReason;

  Disc* FindDisc(int number);
  const Disc* FindDisc(int number) const;
};

// What the path and URL length checks assume about the machine and the server.
struct Limits {
  int windowsFolderLength = 10;  // "C:\WINDOWS"; the installer's buffer allows up to 79
  // UpdateDirectoryUrl of each host (without trailing slash); a set must fit the longer one.
  std::string httpsDirectoryUrl = "https://download.example.invalid/Download/UpDate-V9.20";
  std::string httpDirectoryUrl = "http://download.example.invalid/UpDate-V9.20";
};

}  // namespace quarnset
