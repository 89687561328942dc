#include "findings.h"

#include <algorithm>

namespace quarnset {

void Findings::Error(const Where& where, std::string text) {
  all_.push_back(Finding{Severity::Error, where, std::move(text)});
}

void Findings::Warning(const Where& where, std::string text) {
  all_.push_back(Finding{Severity::Warning, where, std::move(text)});
}

int Findings::Errors() const {
  return static_cast<int>(std::count_if(all_.begin(), all_.end(),
                                        [](const Finding& f) { return f.severity == Severity::Error; }));
}

int Findings::Warnings() const {
  return static_cast<int>(all_.size()) - Errors();
}

bool Findings::Mentions(const std::string& fragment) const {
  return std::any_of(all_.begin(), all_.end(),
                     [&](const Finding& f) { return f.text.find(fragment) != std::string::npos; });
}

std::string FormatFinding(const Finding& finding) {
  std::string out = finding.where.file;
  if (finding.where.line > 0) out += ":" + std::to_string(finding.where.line);
  out += finding.severity == Severity::Error ? ": error: " : ": warning: ";
  out += finding.text;
  return out;
}

}  // namespace quarnset
