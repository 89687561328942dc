#include "manifest.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "cp1250.h"
#include "installer_rules.h"
#include "text_util.h"

namespace fs = std::filesystem;

namespace quarnset {
namespace {

enum class Section { None, Variables, System, Directories, Fonts, FileTypes, Commands, Disc, Unknown };

struct Parser {
  const std::string& path;
  const ManifestOptions& options;
  SetModel* set;
  Findings* findings;
  fs::path baseDir;
  std::map<std::string, std::string> variables;
  Section section = Section::None;
  Disc* disc = nullptr;
  int lineNo = 0;
  std::map<std::string, int> listCount;  // list name (per disc for files) -> entries so far
  std::map<std::string, int> fixedSeen;  // section.key -> line

  Where At() const { return Where{path, lineNo}; }
  void Error(const std::string& text) { findings->Error(At(), text); }

  bool Expand(const std::string& in, std::string* out) {
    out->clear();
    for (size_t i = 0; i < in.size();) {
      if (in.compare(i, 2, "${") == 0) {
        const size_t close = in.find('}', i + 2);
        if (close == std::string::npos) {
          Error("unclosed ${ in " + Quote(in));
          return false;
        }
        const std::string name = in.substr(i + 2, close - i - 2);
        auto o = options.variables.find(name);
        auto v = variables.find(name);
        if (o != options.variables.end()) {
          *out += o->second;
        } else if (v != variables.end()) {
          *out += v->second;
        } else {
          Error("variable ${" + name + "} is not defined (define it under [variables] or with -D " + name + "=...)");
          return false;
        }
        i = close + 1;
      } else {
        out->push_back(in[i++]);
      }
    }
    return true;
  }

  // UTF-8 manifest text to the code page 1250 bytes the installer reads.
  bool ToSetText(const std::string& utf8, std::string* out) {
    size_t bad = 0;
    if (!Utf8ToCp1250(utf8, out, &bad)) {
      Error("the text " + Quote(utf8) + " holds a character that code page 1250 cannot hold (at byte " +
            std::to_string(bad) + "); the installer reads every description in code page 1250");
      return false;
    }
    return true;
  }

  // Handles "Base" or "BaseN": returns the entry's number, or 0 after reporting a misnumbered key.
  int NextNumber(const std::string& listName, const std::string& base, const std::string& key) {
    const int next = listCount[listName] + 1;
    const std::string digits = key.substr(base.size());
    if (!digits.empty()) {
      if (digits[0] == '0' || digits.size() > 3 || std::stoi(digits) != next) {
        Error(key + " is out of order: the installer reads " + base + "1, " + base + "2, ... and stops at the first gap, so this entry must be " +
              base + std::to_string(next) + " (or plain " + base + " to number it automatically)");
        return 0;
      }
    }
    listCount[listName] = next;
    return next;
  }

  // Whether key is base or base followed by digits (case-insensitive base).
  static bool IsListKey(const std::string& key, const std::string& base) {
    if (key.size() < base.size() || !EqualsIgnoringCase(key.substr(0, base.size()), base)) return false;
    for (size_t i = base.size(); i < key.size(); ++i)
      if (key[i] < '0' || key[i] > '9') return false;
    return true;
  }

  bool Fixed(const std::string& key) {
    const std::string id = std::to_string(static_cast<int>(section)) + "." + (disc ? std::to_string(disc->number) : "") + "." + ToLowerAscii(key);
    auto it = fixedSeen.find(id);
    if (it != fixedSeen.end()) {
      Error(key + " is given twice (first on line " + std::to_string(it->second) + ")");
      return false;
    }
    fixedSeen[id] = lineNo;
    return true;
  }

  void OnSection(const std::string& name) {
    disc = nullptr;
    const std::string lower = ToLowerAscii(TrimBlanks(name));
    if (lower == "variables") section = Section::Variables;
    else if (lower == "system") section = Section::System;
    else if (lower == "directories") section = Section::Directories;
    else if (lower == "fonts") section = Section::Fonts;
    else if (lower == "file types") section = Section::FileTypes;
    else if (lower == "commands") section = Section::Commands;
    else if (StartsWith(lower, "disc ")) {
      section = Section::Disc;
      const std::string num = TrimBlanks(lower.substr(5));
      int n = 0;
      bool digits = !num.empty() && num.size() <= 2;
      for (char c : num) digits &= (c >= '0' && c <= '9');
      if (digits) n = std::stoi(num);
      if (!digits || n < 1 || n > kMaxDiscs) {
        Error("[" + name + "]: discs are numbered 1 to 15, e.g. [disc 1]");
        section = Section::Unknown;
        return;
      }
      if (set->FindDisc(n)) {
        Error("[disc " + std::to_string(n) + "] appears twice");
        section = Section::Unknown;
        return;
      }
      Disc d;
      d.number = n;
      d.at = At();
      d.listAt = At();
      d.described = true;
      d.hasList = true;
      set->discs.push_back(d);
      disc = &set->discs.back();
    } else {
      Error("unknown section [" + name + "] (sections: variables, system, directories, fonts, file types, commands, disc N)");
      section = Section::Unknown;
    }
  }

  void OnEntry(const std::string& key, const std::string& rawValue) {
    if (section == Section::Variables) {
      std::string value;
      if (Expand(rawValue, &value)) variables[key] = value;
      return;
    }
    std::string expanded;
    if (!Expand(rawValue, &expanded)) return;
    switch (section) {
      case Section::None:
        Error("entry before the first [section]");
        return;
      case Section::Unknown:
      case Section::Variables:
        return;
      case Section::System: {
        static const char* const keys[] = {"RootDirectory", "CadSystem", "SubSystem", "Version"};
        std::optional<Value>* slots[] = {&set->root, &set->cadSystem, &set->subSystem, &set->version};
        for (int i = 0; i < 4; ++i) {
          if (!EqualsIgnoringCase(key, keys[i])) continue;
          if (!Fixed(key)) return;
          Value v{std::string(), At()};
          if (ToSetText(expanded, &v.text)) *slots[i] = v;
          return;
        }
        Error("unknown key " + key + " in [system] (keys: RootDirectory, CadSystem, SubSystem, Version)");
        return;
      }
      case Section::Directories: {
        if (!IsListKey(key, "Dir")) {
          Error("unknown key " + key + " in [directories] (write Dir = \\Folder)");
          return;
        }
        if (!NextNumber("Dir", "Dir", key)) return;
        Value v{std::string(), At()};
        if (ToSetText(expanded, &v.text)) set->dirs.push_back(v);
        return;
      }
      case Section::Fonts: {
        if (!IsListKey(key, "Font")) {
          Error("unknown key " + key + " in [fonts] (write Font = FILE | NAME)");
          return;
        }
        if (!NextNumber("Font", "Font", key)) return;
        const std::vector<std::string> parts = SplitAll(expanded, "|");
        if (parts.size() != 2) {
          Error("a font entry is FILE | NAME, e.g. Font = DejaVuSans.ttf | DejaVu Sans (TrueType)");
          return;
        }
        FontItem f{{std::string(), At()}, {std::string(), At()}};
        if (ToSetText(TrimBlanks(parts[0]), &f.file.text) && ToSetText(TrimBlanks(parts[1]), &f.name.text))
          set->fonts.push_back(f);
        return;
      }
      case Section::FileTypes: {
        if (!IsListKey(key, "Type")) {
          Error("unknown key " + key + " in [file types] (write Type = .ext | ClassName | ExeFile | IconFile)");
          return;
        }
        if (!NextNumber("Type", "Type", key)) return;
        const std::vector<std::string> parts = SplitAll(expanded, "|");
        if (parts.size() < 2 || parts.size() > 4) {
          Error("a file type is .ext | ClassName, optionally followed by | ExeFile and | IconFile");
          return;
        }
        TypeItem t{{std::string(), At()}, {std::string(), At()}, std::nullopt, std::nullopt};
        bool ok = ToSetText(TrimBlanks(parts[0]), &t.ext.text) && ToSetText(TrimBlanks(parts[1]), &t.cls.text);
        if (parts.size() >= 3) {
          t.exe = Value{std::string(), At()};
          ok = ok && ToSetText(TrimBlanks(parts[2]), &t.exe->text);
        }
        if (parts.size() == 4) {
          t.icon = Value{std::string(), At()};
          ok = ok && ToSetText(TrimBlanks(parts[3]), &t.icon->text);
        }
        if (ok) set->types.push_back(t);
        return;
      }
      case Section::Commands: {
        if (!IsListKey(key, "Command")) {
          Error("unknown key " + key + " in [commands] (write Command = ...)");
          return;
        }
        if (!NextNumber("Command", "Command", key)) return;
        Value v{std::string(), At()};
        if (ToSetText(expanded, &v.text)) set->commands.push_back(v);
        return;
      }
      case Section::Disc:
        OnDiscEntry(key, expanded);
        return;
    }
  }

  void OnDiscEntry(const std::string& key, const std::string& value) {
    if (EqualsIgnoringCase(key, "Label")) {
      if (!Fixed(key)) return;
      Value v{std::string(), At()};
      if (ToSetText(value, &v.text)) {
        disc->label = v;
        disc->listLabel = v;
      }
      return;
    }
    if (EqualsIgnoringCase(key, "Parts")) {
      if (!Fixed(key)) return;
      disc->hasDeclaredParts = true;
      disc->declaredAt = At();
      for (const std::string& p : SplitAll(value, ",")) {
        const int part = FindPartIgnoringCase(TrimBlanks(p));
        if (part < 0) {
          Error("unknown part " + Quote(TrimBlanks(p)) + " (parts: Setup, Systems, Drawings, Blocks, Projects, Datas, Help)");
          continue;
        }
        disc->declaredParts[part] = true;
      }
      return;
    }
    int part = -1;
    for (int p = 0; p < kPartCount; ++p)
      if (IsListKey(key, kPartNames[p])) part = p;
    if (part < 0) {
      Error("unknown key " + key + " in [disc " + std::to_string(disc->number) +
            "] (keys: Label, Parts, and one per file named by its part: Setup, Systems, Drawings, Blocks, Projects, Datas, Help)");
      return;
    }
    if (!NextNumber(std::to_string(disc->number) + "." + kPartNames[part], kPartNames[part], key)) return;
    // "\stored target-code < local file"; '<' cannot occur in a Windows path, so it marks the local file.
    std::string lineUtf8 = value, local;
    const size_t lt = value.find('<');
    if (lt != std::string::npos) {
      lineUtf8 = TrimBlanks(value.substr(0, lt));
      local = TrimBlanks(value.substr(lt + 1));
    }
    const size_t sep = lineUtf8.find_first_of(" ,");
    if (sep == std::string::npos) {
      Error("a file entry is \\STORED-NAME TARGET [< LOCAL-FILE]; this one has no target");
      return;
    }
    const std::string stored = lineUtf8.substr(0, sep);
    size_t rest = sep + 1;
    while (rest < lineUtf8.size() && lineUtf8[rest] == ' ') ++rest;
    if (rest >= lineUtf8.size()) {
      Error("a file entry is \\STORED-NAME TARGET [< LOCAL-FILE]; this one has no target");
      return;
    }
    FileItem f;
    f.part = part;
    f.at = At();
    if (!ToSetText(lineUtf8, &f.line)) return;  // kept as written: a comma and several blanks are a valid separator
    std::string relative = stored;
    for (auto& c : relative) if (c == '\\') c = '/';
    while (!relative.empty() && relative[0] == '/') relative.erase(0, 1);
    const fs::path localPath = local.empty() ? baseDir / DiscFolderName(disc->number) / relative
                                             : (fs::path(local).is_absolute() ? fs::path(local) : baseDir / local);
    f.local = localPath.string();
    std::error_code ec;
    const auto status = fs::status(localPath, ec);
    if (ec || !fs::exists(status)) {
      Error("local file " + f.local + " does not exist" + (local.empty() ? " (give it with '< PATH' after the target)" : ""));
    } else if (!fs::is_regular_file(status)) {
      Error("local file " + f.local + " is not a regular file");
    } else {
      f.contentSize = static_cast<int64_t>(fs::file_size(localPath, ec));
      if (ec) Error("cannot read the size of " + f.local + ": " + ec.message());
    }
    disc->files.push_back(f);
  }
};

}  // namespace

bool ParseManifest(const std::string& text, const std::string& path, const ManifestOptions& options, SetModel* set,
                   Findings* findings) {
  *set = SetModel{};
  set->descriptionAt = Where{path, 0};
  set->discs.reserve(kMaxDiscs + 1);  // pointers into it stay valid while parsing
  Parser parser{path, options, set, findings, {}, {}, Section::None, nullptr, 0, {}, {}};
  parser.baseDir = fs::path(path).parent_path();
  if (parser.baseDir.empty()) parser.baseDir = ".";
  parser.variables["MANIFEST_DIR"] = parser.baseDir.string();
  std::istringstream in(text);
  std::string line;
  while (std::getline(in, line)) {
    ++parser.lineNo;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (parser.lineNo == 1 && StartsWith(line, "\xEF\xBB\xBF")) line.erase(0, 3);
    const std::string t = TrimBlanks(line);
    if (t.empty() || t[0] == '#' || t[0] == ';') continue;
    if (t[0] == '[') {
      if (t.back() != ']') {
        parser.Error("section line without closing ']'");
        parser.section = Section::Unknown;
        continue;
      }
      parser.OnSection(t.substr(1, t.size() - 2));
      continue;
    }
    const size_t eq = t.find('=');
    if (eq == std::string::npos) {
      parser.Error("line is neither a [section] nor KEY = VALUE");
      continue;
    }
    parser.OnEntry(TrimBlanks(t.substr(0, eq)), TrimBlanks(t.substr(eq + 1)));
  }
  if (parser.lineNo == 0) findings->Error(set->descriptionAt, "the manifest is empty");
  std::sort(set->discs.begin(), set->discs.end(), [](const Disc& a, const Disc& b) { return a.number < b.number; });
  // Part sizes follow from the files: a part is announced on a disc exactly when it has files there.
  for (Disc& d : set->discs) {
    if (!d.label) findings->Error(d.at, "[disc " + std::to_string(d.number) + "] has no Label");
    for (const FileItem& f : d.files) {
      PartSize& s = d.sizes[f.part];
      if (!s.present) {
        s.present = true;
        s.at = f.at;
      }
      if (f.contentSize > 0) s.bytes += f.contentSize;
    }
    for (PartSize& s : d.sizes) s.text = std::to_string(s.bytes);
  }
  return true;
}

bool ReadManifest(const std::string& path, const ManifestOptions& options, SetModel* set, Findings* findings) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    findings->Error(Where{path, 0}, "cannot open the manifest");
    return false;
  }
  std::ostringstream text;
  text << in.rdbuf();
  return ParseManifest(text.str(), path, options, set, findings);
}

}  // namespace quarnset
