#include "live_web_support.h"

#include <cstdlib>
#include <cstring>

namespace live {

bool GetEnv(Env* env) {
  const char* tree = getenv("QUARN_WEB_TREE");
  const char* rules = getenv("QUARN_WEB_RULES");
  const char* log = getenv("QUARN_WEB_LOG");
  if (!tree || !rules || !log || !*tree) return false;
  env->tree = tree;
  if (env->tree.back() != '\\') env->tree += '\\';
  env->rules = rules;
  env->log = log;
  return true;
}

void SetRules(const Env& env, const std::string& rulesJsonArray) {
  // Written aside and renamed over the old file: the servers never read a half-written file.
  std::string tmp = env.rules + ".w";
  WriteFileBytes(tmp, "{\"rules\": " + rulesJsonArray + "}\n");
  MoveFileExA(tmp.c_str(), env.rules.c_str(), MOVEFILE_REPLACE_EXISTING);
}

void ClearRequests(const Env& env) { WriteFileBytes(env.log, ""); }

std::vector<std::string> Requests(const Env& env) {
  std::string text;
  std::vector<std::string> lines;
  if (!ReadFileBytes(env.log, &text)) return lines;
  size_t start = 0;
  for (size_t nl; (nl = text.find('\n', start)) != std::string::npos; start = nl + 1) {
    lines.push_back(text.substr(start, nl - start));
  }
  return lines;
}

namespace {
bool PathEndsWith(const std::string& line, const std::string& suffix) {
  // scheme \t method \t path \t action
  size_t a = line.find('\t');
  size_t b = a == std::string::npos ? a : line.find('\t', a + 1);
  size_t c = b == std::string::npos ? b : line.find('\t', b + 1);
  if (c == std::string::npos) return false;
  std::string path = line.substr(b + 1, c - b - 1);
  return path.size() >= suffix.size() && path.compare(path.size() - suffix.size(), suffix.size(), suffix) == 0;
}
}  // namespace

int CountRequests(const Env& env, const std::string& pathSuffix) {
  int n = 0;
  for (const std::string& l : Requests(env)) n += PathEndsWith(l, pathSuffix) ? 1 : 0;
  return n;
}

int FirstRequest(const Env& env, const std::string& pathSuffix) {
  std::vector<std::string> all = Requests(env);
  for (size_t i = 0; i < all.size(); ++i) {
    if (PathEndsWith(all[i], pathSuffix)) return static_cast<int>(i);
  }
  return -1;
}

std::string PseudoRandomBytes(size_t n, unsigned seed) {
  std::string s(n, '\0');
  unsigned x = seed * 2654435761u + 12345u;
  for (size_t i = 0; i < n; ++i) {
    x = x * 1103515245u + 12345u;
    s[i] = static_cast<char>(x >> 16);
  }
  return s;
}

std::string FillerEncode(const std::string& content) {
  std::string stored;
  stored.reserve(content.size() * 2);
  for (size_t i = 0; i < content.size(); ++i) {
    stored += static_cast<char>(0x5A ^ (i & 0xFF));  // varying fillers: a decoder that keeps them shows
    stored += content[i];
  }
  return stored;
}

}  // namespace live
