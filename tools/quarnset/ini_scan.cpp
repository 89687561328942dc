#include "ini_scan.h"

#include <map>
#include <set>

#include "installer_rules.h"
#include "profile_reader.h"
#include "set_model.h"
#include "text_util.h"
#include "layout/set_hashes.h"

namespace quarnset {

const IniSection* IniScan::Find(const std::string& name) const {
  for (const auto& s : sections)
    if (s.name == name) return &s;
  return nullptr;
}

int IniScan::LineOf(const std::string& section, const std::string& key) const {
  const IniSection* s = Find(section);
  if (!s) return 0;
  for (const auto& k : s->keys)
    if (k.key == key) return k.line;
  return 0;
}

IniScan ScanIni(const std::string& text, const std::string& file, Findings* findings) {
  IniScan scan;
  if (StartsWith(text, "\xEF\xBB\xBF"))
    findings->Error({file, 1}, "starts with a UTF-8 byte order mark: the first line is not seen as a section header");
  int lineNo = 1;
  size_t pos = 0;
  bool reportedLoneLf = false, reportedLoneCr = false, reportedNul = false;
  while (pos < text.size()) {
    size_t end = pos;
    while (end < text.size() && text[end] != '\r' && text[end] != '\n') ++end;
    const std::string line = text.substr(pos, end - pos);
    const Where at{file, lineNo};
    if (line.find('\0') != std::string::npos && !reportedNul) {
      findings->Error(at, "holds a NUL byte");
      reportedNul = true;
    }
    if (end == text.size()) {
      if (!line.empty())
        findings->Error(at, "the last line has no CR LF: a section header there is never found, and every line of a set must end with CR LF");
      pos = end;
    } else if (text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n') {
      pos = end + 2;
    } else {
      if (text[end] == '\n' && !reportedLoneLf) {
        findings->Error(at, "line ends with LF alone: the installer splits lines only at CR LF, so it reads this line and the next as one (further such lines not reported)");
        reportedLoneLf = true;
      } else if (text[end] == '\r' && !reportedLoneCr) {
        findings->Error(at, "line ends with CR alone: the installer splits lines only at CR LF (further such lines not reported)");
        reportedLoneCr = true;
      }
      pos = end + 1;
    }
    if (line.size() > 255)
      findings->Error(at, "line is " + std::to_string(line.size()) + " characters long: the installer cuts every line to 255 characters");
    const std::string trimmed = TrimBlanks(line);
    if (!trimmed.empty() && trimmed[0] == '[') {
      if (line[0] != '[')
        findings->Error(at, "section header does not begin in the first column: the download never finds it");
      const size_t close = trimmed.find(']');
      if (close == std::string::npos) {
        findings->Error(at, "section header without ']'");
        scan.sections.push_back({trimmed.substr(1), lineNo, {}});
      } else {
        scan.sections.push_back({trimmed.substr(1, close - 1), lineNo, {}});
      }
    } else if (!trimmed.empty() && trimmed[0] != ';') {
      if (scan.sections.empty()) {
        findings->Warning(at, "line before the first section is never read");
      } else {
        if (line[0] == ' ' || line[0] == '\t')
          findings->Error(at, "key line does not begin in the first column: the download never finds it");
        const size_t eq = trimmed.find('=');
        if (eq == std::string::npos)
          findings->Error(at, "key line without '=': the download reads an empty value, the installation steps read none");
        std::string key = eq == std::string::npos ? trimmed : trimmed.substr(0, eq);
        scan.sections.back().keys.push_back({TrimBlanks(key), lineNo});
      }
    }
    ++lineNo;
  }
  return scan;
}

namespace {

// What the installer reads from one section: fixed keys, and numbered lists made of one or more bases that
// are read together (FontFile/FontName; FileType/ClassName with the optional ExeFile/IconFile).
struct SectionSchema {
  std::vector<std::string> fixed;
  std::vector<std::string> numbered;  // all bases of the list
  int requiredBases = 0;               // the first n bases end the list when absent or empty
  bool emptyEnds = false;              // an empty value ends the list too
};

bool SchemaFor(IniKind kind, const std::string& section, SectionSchema* schema) {
  *schema = SectionSchema{};
  if (kind == IniKind::Description) {
    if (section == "System") {
      schema->fixed = {"RootDirectory", "CadSystem", "SubSystem", "Version"};
      return true;
    }
    for (int d = 1; d <= kMaxDiscs; ++d) {
      if (section == DiscSectionName(d)) {
        schema->fixed = {"Name"};
        for (const char* p : kPartNames) schema->fixed.push_back(p);
        return true;
      }
    }
    if (section == "Directorys") {
      schema->numbered = {"Dir"};
      schema->requiredBases = 1;
      return true;
    }
    if (section == "FontsCommand") {
      schema->numbered = {"FontFile", "FontName"};
      schema->requiredBases = 2;
      schema->emptyEnds = true;
      return true;
    }
    if (section == "RegistryCommand") {
      schema->numbered = {"FileType", "ClassName", "ExeFile", "IconFile"};
      schema->requiredBases = 2;
      schema->emptyEnds = true;
      return true;
    }
    if (section == "Command") {
      schema->numbered = {"Command"};
      schema->requiredBases = 1;
      return true;
    }
    return false;
  }
  if (section == "Disc") {
    schema->fixed = {"Name"};
    return true;
  }
  if (FindPart(section) >= 0) {
    schema->numbered = {"File"};
    schema->requiredBases = 1;
    return true;
  }
  return false;
}

std::vector<std::string> KnownSections(IniKind kind) {
  std::vector<std::string> names;
  if (kind == IniKind::Description) {
    names = {"System", "Directorys", "FontsCommand", "RegistryCommand", "Command"};
    for (int d = 1; d <= kMaxDiscs; ++d) names.push_back(DiscSectionName(d));
  } else {
    names = {"Disc"};
    for (const char* p : kPartNames) names.push_back(p);
  }
  return names;
}

bool Absent(bool found, const std::string& v, bool emptyEnds) {
  return !found || (!v.empty() && v[0] == '*') || (emptyEnds && v.empty());
}

std::string Unquoted(const std::string& v) {
  std::string t = TrimBlanks(v);
  if (t.size() >= 2 && (t.front() == '"' || t.front() == '\'') && t.back() == t.front())
    t = t.substr(1, t.size() - 2);
  return t;
}

// Splits "File12" into "File" and 12; false when the key does not end in digits.
bool SplitNumbered(const std::string& key, std::string* base, std::string* digits) {
  size_t p = key.size();
  while (p > 0 && key[p - 1] >= '0' && key[p - 1] <= '9') --p;
  if (p == key.size() || p == 0) return false;
  *base = key.substr(0, p);
  *digits = key.substr(p);
  return true;
}

// Compares what the download and the installation steps read for one key, and says why they differ.
void CompareReaders(const std::string& text, const IniScan& scan, const IniSection& section,
                    const std::string& key, const std::string& file, Findings* findings) {
  std::string server, profile;
  const bool sFound = installer::ServerLookup(text, section.name, key, &server);
  const bool pFound = ProfileLookup(text, section.name, key, &profile);
  const int exactLine = scan.LineOf(section.name, key);
  const Where at{file, exactLine ? exactLine : section.line};
  // The line the download actually takes: the first one of the section that begins with the key.
  for (const auto& k : section.keys) {
    if (StartsWith(k.key, key)) {
      if (k.key != key && (exactLine == 0 || k.line < exactLine) && sFound) {
        findings->Error({file, k.line}, "the download reads this line as " + key + " (it begins with the same letters and comes first)" +
                                            (exactLine ? "; the line of " + key + " itself (line " + std::to_string(exactLine) + ") must come before it" : ""));
        return;
      }
      break;
    }
  }
  if (sFound == pFound && (!sFound || server == profile)) return;
  if (!sFound && pFound) {
    findings->Error(at, key + ": the installation steps read it, the download does not (names are matched case-sensitively by the download, and must begin in the first column)");
    return;
  }
  if (sFound && !pFound) {
    findings->Error(at, key + ": the download reads " + Quote(server) + ", the installation steps read nothing");
    return;
  }
  if (Unquoted(server) == profile) return;  // blanks or quotes around the value: reported with the value
  findings->Error(at, key + ": the download reads " + Quote(server) + " but the installation steps read " + Quote(profile));
}

}  // namespace

void CheckIniKeys(const std::string& text, const IniScan& scan, IniKind kind, const std::string& file,
                  Findings* findings) {
  const std::vector<std::string> known = KnownSections(kind);
  std::set<std::string> seenLower;
  for (const auto& section : scan.sections) {
    const Where at{file, section.line};
    const std::string lower = ToLowerAscii(section.name);
    if (!seenLower.insert(lower).second) {
      findings->Error(at, "section [" + section.name + "] appears twice: only the first is read");
      continue;
    }
    // The hash data of a list is read by the installer's own reader (layout/set_hashes.h) and checked by
    // hash_check.cpp, not by the description lookup.
    if (kind == IniKind::FileList && section.name == kHashSection) continue;
    SectionSchema schema;
    if (!SchemaFor(kind, section.name, &schema)) {
      std::string hint;
      for (const auto& k : known)
        if (EqualsIgnoringCase(k, section.name)) hint = k;
      if (!hint.empty()) {
        findings->Error(at, "section [" + section.name + "] must be spelled [" + hint + "]: the download matches names case-sensitively");
      } else {
        std::string text2 = "section [" + section.name + "] is never read by the installer";
        if (lower == "directories") text2 += " (the installer's spelling is [Directorys])";
        if (lower == "data") text2 += " (the installer's spelling is [Datas])";
        findings->Warning(at, text2);
      }
      continue;
    }
    // Keys that are read: fixed ones, and each numbered list up to its end.
    std::set<std::string> readKeys(schema.fixed.begin(), schema.fixed.end());
    std::map<std::string, int> lastRead;  // base -> last number read
    if (!schema.numbered.empty()) {
      for (int n = 1;; ++n) {
        bool ends = false;
        for (int b = 0; b < schema.requiredBases; ++b) {
          std::string v;
          const bool found = installer::ServerLookup(text, section.name, schema.numbered[b] + std::to_string(n), &v);
          if (Absent(found, v, schema.emptyEnds)) ends = true;
        }
        if (ends) {
          for (const auto& base : schema.numbered) lastRead[base] = n - 1;
          break;
        }
        for (const auto& base : schema.numbered) readKeys.insert(base + std::to_string(n));
      }
    }
    std::set<std::string> seenKeys;
    for (const auto& k : section.keys) {
      const Where kat{file, k.line};
      if (!seenKeys.insert(k.key).second) {
        findings->Error(kat, k.key + " appears twice in [" + section.name + "]: only the first is read");
        continue;
      }
      if (readKeys.count(k.key)) continue;
      std::string base, digits;
      bool isListKey = false;
      if (SplitNumbered(k.key, &base, &digits)) {
        for (const auto& b : schema.numbered) isListKey |= (b == base);
      }
      if (isListKey) {
        if (digits[0] == '0') {
          findings->Error(kat, k.key + " is never read: numbered keys have no leading zeros");
        } else {
          const int stop = lastRead[base] + 1;
          if (std::to_string(stop) == digits) {
            std::string v;
            installer::ServerLookup(text, section.name, k.key, &v);
            if (!v.empty() && v[0] == '*')
              findings->Error(kat, k.key + " begins with '*', which the installer takes as absent: the list ends here");
            else if (v.empty() && schema.emptyEnds)
              findings->Error(kat, k.key + " is empty, which ends the list here");
            else if (schema.numbered.size() == 1)
              findings->Error(kat, k.key + " is not found by the download, which ends the list here");
            else
              findings->Error(kat, k.key + " is never read: its partner key " + (base == schema.numbered[0] ? schema.numbered[1] : schema.numbered[0]) + digits +
                                       " is missing or empty, which ends the list here");
          } else {
            findings->Error(kat, k.key + " is never read: the installer reads " + base + "1, " + base +
                                     "2, ... and stops at the first one missing or empty, here number " + std::to_string(stop));
          }
        }
        continue;
      }
      bool caseOnly = false;
      for (const auto& f : schema.fixed) caseOnly |= EqualsIgnoringCase(f, k.key);
      if (caseOnly) continue;  // reported by the reader comparison below
      if (SplitNumbered(k.key, &base, &digits)) {
        for (const auto& b : schema.numbered) {
          if (EqualsIgnoringCase(b, base)) {
            findings->Error(kat, k.key + " must be spelled " + b + digits + ": the download matches key names case-sensitively");
            caseOnly = true;
            break;
          }
        }
      }
      if (caseOnly) continue;
      findings->Warning(kat, k.key + " is never read in [" + section.name + "]");
    }
    for (const auto& key : readKeys) CompareReaders(text, scan, section, key, file, findings);
  }
}

}  // namespace quarnset
