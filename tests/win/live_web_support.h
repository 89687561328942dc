// Support for the Windows tests that talk to the real test web servers (tools/testserver).
//
// tests/e2e/test_web_transfer.py starts the servers on this build's ports and runs win_tests with
// QUARN_WEB_TREE (the folder they serve, as a Windows path), QUARN_WEB_RULES (their misbehaviour rules
// file) and QUARN_WEB_LOG (their request log). Without these the live tests skip: the plain win_tests
// run has no servers.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

#include "test_files.h"

namespace live {

struct Env {
  std::string tree;   // served folder, ends with "\"
  std::string rules;  // rules file
  std::string log;    // request log
};

// false when the servers are not there (the test should skip).
bool GetEnv(Env* env);

// Files on the Windows side: the shared helpers of test_files.h.
using quarn_test::DirExists;
using quarn_test::FileExists;
using quarn_test::MakeDirs;
using quarn_test::ReadFileBytes;
using quarn_test::WriteFileBytes;
// The folder and everything in it; missing is fine.
inline void DeleteTree(const std::string& path) { quarn_test::RemoveTree(path); }

// Replaces the servers' rules (a JSON array of rule objects, as text); they apply from the next request.
void SetRules(const Env& env, const std::string& rulesJsonArray);

// The request log: one entry per request, "scheme\tmethod\tpath\taction\tuser agent".
std::vector<std::string> Requests(const Env& env);
// Empties the request log (the servers append to it; truncating it starts it anew).
void ClearRequests(const Env& env);
// Requests whose path ends with pathSuffix.
int CountRequests(const Env& env, const std::string& pathSuffix);
// Index of the first request whose path ends with pathSuffix, -1 when none.
int FirstRequest(const Env& env, const std::string& pathSuffix);

// Deterministic bytes of every value (NUL, CR, LF included).
std::string PseudoRandomBytes(size_t n, unsigned seed);
// The stored form of a filler file: one filler byte before each content byte.
std::string FillerEncode(const std::string& content);

// Polls until pred() is true or timeoutMs pass; returns pred()'s last answer.
template <typename Pred>
bool WaitFor(Pred pred, DWORD timeoutMs) {
  DWORD start = GetTickCount();
  for (;;) {
    if (pred()) return true;
    if (GetTickCount() - start > timeoutMs) return pred();
    Sleep(10);
  }
}

}  // namespace live
