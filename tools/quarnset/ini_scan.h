// Line-level reading of a published Install.ini or Fajls_N.ini: where every section and key stands, and
// whether the text keeps the rules both of the installer's readers depend on (CR LF line ends, names in
// the first column, lines of at most 255 characters, numbered keys in order and without gaps, no key line
// hidden behind another that begins with the same letters, both readers giving the same value).
#pragma once

#include <string>
#include <vector>

#include "findings.h"

namespace quarnset {

struct IniKeyLine {
  std::string key;  // text before '=', blanks at its end removed
  int line = 0;
};

struct IniSection {
  std::string name;
  int line = 0;
  std::vector<IniKeyLine> keys;
};

struct IniScan {
  std::vector<IniSection> sections;
  const IniSection* Find(const std::string& name) const;  // exact name, first occurrence
  int LineOf(const std::string& section, const std::string& key) const;  // 0 when absent
};

enum class IniKind { Description, FileList };

// Scans the text, reporting byte- and line-level faults (file names the place in findings).
IniScan ScanIni(const std::string& text, const std::string& file, Findings* findings);

// Checks sections and keys against what the installer reads from a file of this kind.
void CheckIniKeys(const std::string& text, const IniScan& scan, IniKind kind, const std::string& file,
                  Findings* findings);

}  // namespace quarnset
