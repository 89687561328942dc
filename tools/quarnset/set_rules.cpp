#include "set_rules.h"

#include <algorithm>
#include <cstdint>
#include <map>
#include <set>

#include "cp1250.h"
#include "installer_rules.h"
#include "text_util.h"

namespace quarnset {
namespace {

// Parts of the paths the installer builds in 256-byte buffers.
constexpr size_t kDriveLength = 3;  // "C:\"
const std::string kProgramFolder = "\\QuarnWin32";
const std::string kStagingTail = "\\QuarnWin32\\Install\\";
constexpr size_t kPathMax = 255;

std::string Normal(std::string path) {
  while (path.size() > 1 && path.back() == '\\') path.pop_back();
  return ToLowerAscii(path);
}

std::string ParentOf(const std::string& path) {
  const size_t slash = path.rfind('\\');
  return slash == std::string::npos || slash == 0 ? std::string() : path.substr(0, slash);
}

size_t RootFolderLength(const SetModel& set) {
  return kDriveLength + (set.root ? set.root->text.size() : 0);
}

std::string PartName(int part) {
  return kPartNames[part];
}

void CheckLength(size_t length, const Where& at, const std::string& what, Findings* findings) {
  if (length > kPathMax)
    findings->Error(at, what + " is " + std::to_string(length) +
                            " characters long; the installer builds it in a 256-byte buffer, so it must stay below 256");
}

bool ValidFileNameChars(const std::string& name, std::string* why) {
  for (unsigned char c : name) {
    if (c < 0x20 || c == 0x7F) {
      *why = "holds a control character";
      return false;
    }
    if (std::string("<>:\"/|?*").find(static_cast<char>(c)) != std::string::npos) {
      *why = std::string("holds '") + static_cast<char>(c) + "', which a Windows file name cannot hold";
      return false;
    }
  }
  return true;
}

}  // namespace

bool IsSafeRelativePath(const std::string& path, std::string* why) {
  if (path.empty() || path[0] != '\\') {
    *why = "must begin with a backslash (it is appended to a folder path unchanged)";
    return false;
  }
  if (!ValidFileNameChars(path, why)) return false;
  const std::vector<std::string> parts = SplitAll(path.substr(1), "\\");
  for (size_t i = 0; i < parts.size(); ++i) {
    const std::string& p = parts[i];
    if (p.empty()) {
      if (i + 1 == parts.size() && parts.size() > 1) continue;  // one trailing backslash
      *why = "holds an empty path component (two backslashes together)";
      return false;
    }
    if (p == "." || p == "..") {
      *why = "holds a '" + p + "' component, which would lead out of its folder";
      return false;
    }
    if (p.back() == ' ' || p.back() == '.') {
      *why = "has a component ending in a blank or a dot, which Windows drops";
      return false;
    }
  }
  return true;
}

void CheckValue(const Value& value, const std::string& key, bool required, Findings* findings) {
  const std::string& v = value.text;
  if (v.empty()) {
    if (required) findings->Error(value.at, key + " is empty");
    return;
  }
  if (v[0] == '*')
    findings->Error(value.at, key + " begins with '*': the installer takes any value beginning with '*' as absent");
  if (v[0] == ' ' || v[0] == '\t' || v.back() == ' ' || v.back() == '\t')
    findings->Error(value.at, key + " = " + Quote(v) +
                                  " has blanks at its start or end: the download keeps them, the installation steps drop them");
  for (unsigned char c : v) {
    if (c < 0x20 || c == 0x7F) {
      findings->Error(value.at, key + " holds a control character");
      break;
    }
  }
  if (v.size() >= 2 && (v[0] == '"' || v[0] == '\'') && v.back() == v[0])
    findings->Error(value.at, key + " is enclosed in quotes: the installation steps drop them, the download keeps them");
  if (key.size() + 1 + v.size() > 255)
    findings->Error(value.at, key + " line is " + std::to_string(key.size() + 1 + v.size()) +
                                  " characters long: the installer cuts every line to 255 characters, and so the value");
}

namespace {

void CheckSystem(const SetModel& set, Findings* findings) {
  if (!set.root) {
    findings->Error(set.descriptionAt, "RootDirectory is missing: the installer stops with \"A telepítési könyvtár nem található a WEB-en!\"");
  } else {
    const Value& root = *set.root;
    CheckValue(root, "RootDirectory", true, findings);
    std::string why;
    if (root.text.find('\\') != std::string::npos) {
      findings->Error(root.at, "RootDirectory must be one folder name: the installer creates only one level below the drive");
    } else if (!root.text.empty() && !IsSafeRelativePath("\\" + root.text, &why)) {
      findings->Error(root.at, "RootDirectory " + Quote(root.text) + " " + why);
    }
  }
  if (!set.cadSystem || set.cadSystem->text.empty()) {
    findings->Warning(set.descriptionAt, "CadSystem is missing: no installation record is written to the registry");
  } else {
    CheckValue(*set.cadSystem, "CadSystem", true, findings);
    CheckLength(std::string("Software\\QuarnSoft\\").size() + set.cadSystem->text.size(), set.cadSystem->at,
                "the registry key of the installation record", findings);
    if (!set.subSystem || set.subSystem->text.empty())
      findings->Warning(set.cadSystem->at, "SubSystem is missing: the installation record stops before it (no SubSystem, no System Version)");
    else if (!set.version || set.version->text.empty())
      findings->Warning(set.subSystem->at, "Version is missing: the installation record ends after SubSystem");
  }
  if (set.subSystem) CheckValue(*set.subSystem, "SubSystem", false, findings);
  if (set.version) CheckValue(*set.version, "Version", false, findings);
}

// Folders that exist below the root before any file is copied: the root, and those the installer
// creates itself for the download (program folder and staging folder).
std::set<std::string> CheckDirectories(const SetModel& set, Findings* findings) {
  std::set<std::string> created = {"", Normal(kProgramFolder), Normal("\\QuarnWin32\\Install")};
  for (size_t i = 0; i < set.dirs.size(); ++i) {
    const Value& d = set.dirs[i];
    const std::string key = "Dir" + std::to_string(i + 1);
    CheckValue(d, key, true, findings);
    std::string why;
    if (!IsSafeRelativePath(d.text, &why)) {
      findings->Error(d.at, key + " " + Quote(d.text) + " " + why);
      continue;
    }
    CheckLength(RootFolderLength(set) + d.text.size(), d.at, "folder " + Quote(d.text) + " joined with the root folder", findings);
    const std::string n = Normal(d.text);
    if (!created.count(Normal(ParentOf(n))))
      findings->Error(d.at, key + " " + Quote(d.text) + " comes before its parent folder " + Quote(ParentOf(d.text)) +
                                ": the installer creates one level at a time, so this folder would not be created");
    if (!created.insert(n).second && n != Normal(kProgramFolder))
      findings->Warning(d.at, key + " " + Quote(d.text) + " is listed twice");
  }
  return created;
}

struct TargetKey {
  bool windows;
  std::string path;
  bool operator<(const TargetKey& o) const { return windows != o.windows ? windows < o.windows : path < o.path; }
};

struct FileFacts {
  std::map<TargetKey, std::pair<Where, int>> targets;  // target -> first line, part
};

void CheckFiles(const SetModel& set, const Limits& limits, const std::set<std::string>& folders, FileFacts* facts,
                Findings* findings) {
  const size_t urlBase = std::max(limits.httpsDirectoryUrl.size(), limits.httpDirectoryUrl.size());
  for (const Disc& disc : set.discs) {
    std::map<std::string, const FileItem*> storedNames;
    for (const FileItem& f : disc.files) {
      const std::string part = PartName(f.part);
      CheckValue(Value{f.line, f.at}, "file line", true, findings);
      const installer::FileLine line = installer::ParseFileLine(f.line);
      if (!line.wellFormed) {
        findings->Error(f.at, "file line " + Quote(f.line) +
                                  " cannot be read by the copy engine: it needs a source, a blank or comma, and a target path");
        continue;
      }
      if (line.unsafePath)
        findings->Error(f.at, "file line " + Quote(f.line) + " leads out of its folder ('..'): the installer refuses to copy it");
      const std::string name = installer::ServerNameOf(f.line);
      std::string why;
      if (line.source.empty() || line.source[0] != '\\') {
        findings->Error(f.at, "source " + Quote(line.source) + " must begin with a backslash: the copy engine appends it to the disc folder unchanged");
      } else if (!IsSafeRelativePath(line.source, &why)) {
        findings->Error(f.at, "source " + Quote(line.source) + " " + why);
      } else {
        for (unsigned char c : name) {
          if (c >= 0x80 || std::string("#%;& +=").find(static_cast<char>(c)) != std::string::npos) {
            findings->Error(f.at, "source " + Quote(line.source) + " holds '" + Cp1250ToUtf8(std::string(1, static_cast<char>(c))) +
                                      "': keep stored names to letters, digits and . _ - ~ ( ) ! $ ' @ so that every web server maps the download URL to the same file");
            break;
          }
        }
        if (EqualsIgnoringCase(name, FileListName(disc.number)) || (disc.number == 1 && EqualsIgnoringCase(name, kDescriptionFile)))
          findings->Error(f.at, "source " + Quote(line.source) + " is the name of the disc's description file, which the download writes over it");
      }
      const size_t stagingLength = RootFolderLength(set) + kStagingTail.size() + DiscFolderName(disc.number).size() + line.source.size();
      CheckLength(stagingLength, f.at, "the staging path of " + Quote(line.source), findings);
      CheckLength(urlBase + 1 + std::string(kSetFolder).size() + 1 + DiscFolderName(disc.number).size() + 1 + name.size(), f.at,
                  "the download URL of " + Quote(line.source), findings);
      if (line.invalidModifier)
        findings->Error(f.at, "target code " + Quote(line.targetCode) + " has an unknown modifier '*" + std::string(1, line.invalidModifierChar) +
                                  "': the copy engine shows an error and copies to a wrong path (valid: *? *- *%)");
      if (!IsSafeRelativePath(line.targetPath, &why)) {
        findings->Error(f.at, "target path " + Quote(line.targetPath) + " " + why);
      } else if (!line.invalidModifier) {
        const size_t baseLength = line.windowsFolder ? static_cast<size_t>(limits.windowsFolderLength) : RootFolderLength(set);
        CheckLength(baseLength + line.targetPath.size(), f.at, "target " + Quote(line.targetPath) + " joined with its base folder", findings);
        const std::string n = Normal(line.targetPath);
        if (!line.windowsFolder) {
          if (StartsWith(n + "\\", Normal("\\QuarnWin32\\Install") + "\\"))
            findings->Error(f.at, "target " + Quote(line.targetPath) + " lies in the staging folder: copying would overwrite the downloaded set");
          else if (!folders.count(Normal(ParentOf(n))))
            findings->Error(f.at, "target folder " + Quote(ParentOf(line.targetPath)) +
                                      " is not created by any Dir entry: copying the file would fail");
        } else {
          const std::string parent = Normal(ParentOf(n));
          if (!parent.empty() && parent != "\\fonts" && parent != "\\system32" && parent != "\\help")
            findings->Warning(f.at, "target folder " + Quote(ParentOf(line.targetPath)) + " below the Windows folder may not exist; the installer creates no folders there");
        }
        TargetKey key{line.windowsFolder, n};
        auto it = facts->targets.find(key);
        if (it == facts->targets.end())
          facts->targets[key] = {f.at, f.part};
        else
          findings->Warning(f.at, "target " + Quote(line.targetPath) + " is also installed by line " +
                                      std::to_string(it->second.first.line) + ": the later copy wins");
      }
      if (f.part == kProjectsPart)
        findings->Warning(f.at, "part Projects is never installed: the options dialog offers sample projects but never lets them be selected");
      if (!disc.sizes[f.part].present)
        findings->Error(f.at, "part " + part + " has files on disc " + std::to_string(disc.number) + " but no size in section " +
                                  DiscSectionName(disc.number) + " of Install.ini: the download skips them" +
                                  (disc.number == 1 ? " and the copy then finds them missing" : ""));
      if (f.contentSize == 0)
        findings->Error(f.at, "file " + Quote(name) + " is empty: the server answers it with Content-Length 0, which the installer takes as missing, and the download stops there");
      auto prev = storedNames.find(ToLowerAscii(name));
      if (prev == storedNames.end()) {
        storedNames[ToLowerAscii(name)] = &f;
      } else if (!set.fromTree && prev->second->local != f.local) {
        findings->Error(f.at, "stored name " + Quote(name) + " is already used on this disc by line " +
                                  std::to_string(prev->second->at.line) + " for another file");
      }
    }
  }
}

void CheckDiscs(const SetModel& set, Findings* findings) {
  if (set.discs.empty() || set.discs.front().number != 1) {
    findings->Error(set.descriptionAt, "the set has no disc 1: Install.ini and the first file list belong there");
  }
  int expected = 1;
  int64_t total = 0;
  for (const Disc& disc : set.discs) {
    const std::string n = std::to_string(disc.number);
    if (disc.number < 1 || disc.number > kMaxDiscs) {
      findings->Error(disc.at, "disc " + n + ": discs are numbered 1 to 15");
      continue;
    }
    if (set.fromTree) {
      if (!disc.hasList) {
        if (disc.described)
          findings->Error(disc.at, "disc " + n + " is described in Install.ini but the download never fetches it: " +
                                       (disc.number >= set.setEnd && set.setEnd > 0
                                            ? "the set ends at disc " + std::to_string(set.setEnd) + " (" + set.setEndReason + ")"
                                            : std::string("its file list is missing")));
        continue;
      }
    } else if (disc.number != expected) {
      findings->Error(disc.at, "disc " + n + " follows disc " + std::to_string(expected - 1) +
                                   ": the download stops at the first disc without a file list, so disc " + n + " would never be fetched");
    }
    expected = disc.number + 1;
    if (!disc.described || !disc.label) {
      if (!disc.files.empty())
        findings->Error(disc.described ? disc.at : disc.listAt,
                        "disc " + n + " has no Name in section " + DiscSectionName(disc.number) +
                            " of Install.ini: the installation steps ignore the disc and its files are not installed");
      else
        findings->Warning(disc.listAt, "disc " + n + " has a file list but no section in Install.ini");
    } else {
      CheckValue(*disc.label, "Name", true, findings);
    }
    if (!disc.listLabel) {
      findings->Error(disc.listAt, "the file list of disc " + n + " has no Name in section [Disc]: the copy engine keeps asking for the disc");
    } else {
      CheckValue(*disc.listLabel, "Name", true, findings);
      if (disc.label && disc.label->text != disc.listLabel->text)
        findings->Error(disc.listAt, "the label " + Quote(disc.listLabel->text) + " differs from " + Quote(disc.label->text) +
                                         " in Install.ini: the copy engine keeps asking for the disc");
    }
    bool anyPart = false;
    for (int p = 0; p < kPartCount; ++p) {
      const PartSize& s = disc.sizes[p];
      int64_t actual = 0;
      int files = 0;
      bool sizeKnown = true;
      for (const FileItem& f : disc.files) {
        if (f.part != p) continue;
        ++files;
        if (f.contentSize < 0) sizeKnown = false; else actual += f.contentSize;
      }
      if (disc.hasDeclaredParts && disc.declaredParts[p] && files == 0)
        findings->Error(disc.declaredAt, "part " + PartName(p) + " is declared on disc " + n +
                                             " but has no files: its size key would announce a part the download finds empty");
      if (disc.hasDeclaredParts && !disc.declaredParts[p] && files > 0)
        findings->Error(disc.declaredAt, "part " + PartName(p) + " has files on disc " + n + " but is not in the disc's Parts list");
      if (!s.present) continue;
      anyPart = true;
      total += s.bytes;
      if (files == 0 && !disc.hasDeclaredParts)
        findings->Error(s.at, "part " + PartName(p) + " has a size on disc " + n + " but no files in the disc's file list");
      if (set.fromTree) {
        bool plain = !s.text.empty();
        for (char c : s.text) plain &= (c >= '0' && c <= '9');
        if (!plain)
          findings->Error(s.at, PartName(p) + " = " + Quote(s.text) + " is not a plain decimal number; the installer reads it as " +
                                    std::to_string(s.bytes));
        if (sizeKnown && files > 0 && actual != s.bytes)
          findings->Error(s.at, "part " + PartName(p) + " on disc " + n + " is given as " + std::to_string(s.bytes) +
                                    " bytes, but its files hold " + std::to_string(actual) + ": the progress display would be wrong");
      }
      if (s.bytes < 0 || s.bytes > INT32_MAX)
        findings->Error(s.at, "part " + PartName(p) + " on disc " + n + " is " + std::to_string(s.bytes) +
                                  " bytes: the installer counts part sizes in signed 32 bits");
      if (set.fromTree && s.text.size() > 10)
        findings->Error(s.at, "part " + PartName(p) + " on disc " + n + " is given as " + Quote(s.text) +
                                  ", beyond what the installer's signed 32-bit sizes hold");
    }
    if (!anyPart && !disc.files.empty() && disc.number != 1)
      findings->Warning(disc.at, "disc " + n + " announces no part in Install.ini: nothing is installed from it");
    if (disc.files.empty())
      findings->Warning(disc.hasList ? disc.listAt : disc.at, "disc " + n + " has no files");
  }
  if (2 * total > INT32_MAX)
    findings->Error(set.descriptionAt, "the parts add up to " + std::to_string(total) +
                                           " bytes; the installer's progress total (twice that) must fit in signed 32 bits");
}

void CheckFonts(const SetModel& set, const Limits& limits, const FileFacts& facts, bool complete, Findings* findings) {
  for (size_t i = 0; i < set.fonts.size(); ++i) {
    const FontItem& font = set.fonts[i];
    const std::string n = std::to_string(i + 1);
    CheckValue(font.file, "FontFile" + n, true, findings);
    CheckValue(font.name, "FontName" + n, true, findings);
    std::string why;
    if (font.file.text.find('\\') != std::string::npos || !ValidFileNameChars(font.file.text, &why)) {
      findings->Error(font.file.at, "FontFile" + n + " " + Quote(font.file.text) + " must be a bare file name in the fonts folder");
      continue;
    }
    CheckLength(limits.windowsFolderLength + std::string("\\Fonts\\").size() + font.file.text.size(), font.file.at,
                "the font path", findings);
    auto it = facts.targets.find(TargetKey{true, Normal("\\Fonts\\" + font.file.text)});
    if (!complete) continue;  // the missing file lists are reported; what they would deliver is unknown
    if (it == facts.targets.end())
      findings->Error(font.file.at, "font " + Quote(font.file.text) +
                                        " is registered but no file line copies it with *% to \\Fonts\\" + Cp1250ToUtf8(font.file.text));
    else if (it->second.second != 0 && it->second.second != 1)
      findings->Warning(font.file.at, "font " + Quote(font.file.text) + " comes with part " + PartName(it->second.second) +
                                          ", which the user may leave out; the font is registered all the same");
  }
}

void CheckFileTypes(const SetModel& set, const FileFacts& facts, bool complete, Findings* findings) {
  const size_t programFolder = RootFolderLength(set) + kProgramFolder.size() + 1;
  for (size_t i = 0; i < set.types.size(); ++i) {
    const TypeItem& t = set.types[i];
    const std::string n = std::to_string(i + 1);
    CheckValue(t.ext, "FileType" + n, true, findings);
    CheckValue(t.cls, "ClassName" + n, true, findings);
    if (t.ext.text.empty() || t.ext.text[0] != '.' || t.ext.text.find_first_of(" \\") != std::string::npos)
      findings->Error(t.ext.at, "FileType" + n + " " + Quote(t.ext.text) + " must be an extension with its leading dot");
    if (t.cls.text.find('\\') != std::string::npos)
      findings->Error(t.cls.at, "ClassName" + n + " " + Quote(t.cls.text) + " must not hold a backslash (it names one registry key)");
    CheckLength(std::string("Software\\Classes\\").size() + t.cls.text.size() + std::string("\\Shell\\Open\\Command").size(),
                t.cls.at, "the registry key of class " + Quote(t.cls.text), findings);
    if (t.exe) {
      CheckValue(*t.exe, "ExeFile" + n, true, findings);
      if (!t.exe->text.empty() && t.exe->text[0] == '\\')
        findings->Error(t.exe->at, "ExeFile" + n + " must not begin with a backslash: it is appended to the program folder path, which ends with one");
      CheckLength(programFolder + t.exe->text.size(), t.exe->at, "the open command", findings);
      const std::string program = t.exe->text.substr(0, t.exe->text.find(' '));
      if (complete && !facts.targets.count(TargetKey{false, Normal(kProgramFolder + "\\" + program)}))
        findings->Warning(t.exe->at, "ExeFile" + n + " names " + Quote(program) + ", which no file line installs into \\QuarnWin32");
    }
    if (t.icon) {
      if (!t.exe)
        findings->Warning(t.icon->at, "IconFile" + n + " is ignored: the installer sets an icon only with an ExeFile");
      CheckValue(*t.icon, "IconFile" + n, true, findings);
      CheckLength(programFolder + t.icon->text.size(), t.icon->at, "the icon path", findings);
    }
  }
}

void CheckCommands(const SetModel& set, const Limits& limits, Findings* findings) {
  bool groupSeen = false;
  // The longest folders the commands may get: the root folder on any drive, the Windows folder allowed for.
  const std::string rootFolder = "C:\\" + (set.root ? set.root->text : std::string());
  const std::string windowsFolder(static_cast<size_t>(limits.windowsFolderLength), 'W');
  for (size_t i = 0; i < set.commands.size(); ++i) {
    const Value& c = set.commands[i];
    const std::string key = "Command" + std::to_string(i + 1);
    CheckValue(c, key, true, findings);
    const std::string& t = c.text;
    std::string name;
    const installer::GroupName group = installer::ReadGroupName(t, &name);
    if (group == installer::GroupName::Malformed) {
      if (t.find(")]") == std::string::npos)
        findings->Error(c.at, key + " begins with [CreateGroup( but holds no \")]\": the group name cannot be read");
      else if (!groupSeen)
        findings->Warning(c.at, key + " names an empty group: no desktop shortcut is made");
    } else if (group == installer::GroupName::Named && !groupSeen) {
      std::string why;
      if (!ValidFileNameChars(name, &why) || name.find('\\') != std::string::npos)
        findings->Error(c.at, "group name " + Quote(name) + " " + (why.empty() ? "holds a backslash" : why) +
                                  ": the desktop shortcut is named after it and cannot be saved");
    }
    if (group != installer::GroupName::NotCreateGroup) groupSeen = true;
    // A help viewer command was a format string for the Windows folder: one %s, and %% for a percent sign.
    size_t conversions = 0;
    bool badFormat = false;
    for (size_t k = 0; k < t.size(); ++k) {
      if (t[k] != '%') continue;
      const char next = k + 1 < t.size() ? t[k + 1] : '\0';
      if (next == 's') ++conversions;
      else if (next != '%') badFormat = true;
      ++k;
    }
    if (installer::IsHelpCommand(t)) {
      if (badFormat || conversions > 1)
        findings->Error(c.at, key + " names a help program, so the installer takes it as a format string: it may hold one %s (the Windows folder) and %% for a percent sign, nothing else with %");
    } else if (conversions > 0) {
      findings->Warning(c.at, key + " holds %s but names neither hh.exe nor WinHlp32.exe: it is sent with %s unchanged");
    }
    const size_t length = installer::PreparedCommand(t, rootFolder, windowsFolder).size();
    if (length > kPathMax)
      findings->Error(c.at, key + " grows to " + std::to_string(length) +
                                " characters once # and %s are replaced; the installer sends it from a 256-byte block");
  }
  if (!groupSeen && !set.commands.empty())
    findings->Warning(set.commands.front().at, "no command begins with [CreateGroup(: no program group and no desktop shortcut");
  if (set.commands.empty())
    findings->Warning(set.descriptionAt, "no Program Manager commands: no program group and no desktop shortcut");
}

}  // namespace

void CheckSet(const SetModel& set, const Limits& limits, Findings* findings) {
  CheckSystem(set, findings);
  const std::set<std::string> folders = CheckDirectories(set, findings);
  FileFacts facts;
  CheckFiles(set, limits, folders, &facts, findings);
  CheckDiscs(set, findings);
  // A set whose file lists the download does not all reach is reported for that; what the missing
  // lists would have installed is unknown, so the checks that look for an installed file are left out.
  bool complete = true;
  for (const Disc& d : set.discs) complete &= !set.fromTree || !d.described || d.hasList;
  CheckFonts(set, limits, facts, complete, findings);
  CheckFileTypes(set, facts, complete, findings);
  CheckCommands(set, limits, findings);
  auto launch = facts.targets.find(TargetKey{false, Normal("\\QuarnWin32\\QuarnWin32.exe")});
  if (!complete) return;
  if (launch == facts.targets.end())
    findings->Warning(set.descriptionAt, "no file line installs \\QuarnWin32\\QuarnWin32.exe, which the installer starts at the end and the desktop shortcut points to");
  else if (launch->second.second != 0 && launch->second.second != 1)
    findings->Warning(launch->second.first, "\\QuarnWin32\\QuarnWin32.exe comes with part " + PartName(launch->second.second) +
                                                 ", which the user may leave out");
}

}  // namespace quarnset
