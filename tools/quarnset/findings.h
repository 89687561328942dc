// Findings: what quarnset reports, one line each, with the place (file and line) it concerns.
#pragma once

#include <string>
#include <vector>

namespace quarnset {

enum class Severity {
  Error,    // the installer would fail, stop early or install something wrong
  Warning,  // the set works, but something in it is never used or looks unintended
};

struct Where {
  std::string file;  // manifest path, tree path or URL
  int line = 0;      // 1-based; 0 when the finding concerns the whole file
};

struct Finding {
  Severity severity;
  Where where;
  std::string text;  // UTF-8
};

class Findings {
 public:
  void Error(const Where& where, std::string text);
  void Warning(const Where& where, std::string text);
  void Add(const Finding& finding) { all_.push_back(finding); }

  const std::vector<Finding>& All() const { return all_; }
  int Errors() const;
  int Warnings() const;
  bool HasErrors() const { return Errors() > 0; }
  // True when some finding's text contains the given fragment (used by the tests and the build).
  bool Mentions(const std::string& fragment) const;

 private:
  std::vector<Finding> all_;
};

// "file:line: error: text" (or "file: warning: text" when the line is unknown).
std::string FormatFinding(const Finding& finding);

}  // namespace quarnset
