// Readable names for table-driven GoogleTest cases: the case's own description as the test name
// (INSTANTIATE_TEST_SUITE_P's name generator) and in the "GetParam() = ..." line (PrintTo), instead of
// the bytes of the case structure.
#pragma once
#include <cctype>
#include <ostream>
#include <string>

// A test name from a case description: every character that is not a letter or digit becomes '_'.
inline std::string CaseTestName(const char* description) {
  std::string n;
  for (const char* p = description; *p; ++p) n += std::isalnum(static_cast<unsigned char>(*p)) ? *p : '_';
  return n;
}

// The name generator for a parameter type with a `name` member.
struct CaseNameOf {
  template <typename Info>
  std::string operator()(const Info& info) const {
    return CaseTestName(info.param.name);
  }
};

// Prints a case as its description; declare `void PrintTo(const T& c, std::ostream* os)` beside the case
// type and let it call this.
inline void PrintCaseName(const char* name, std::ostream* os) { *os << '"' << name << '"'; }
