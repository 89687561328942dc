#include "install/uninstall_manifest.h"

#include <cstdio>
#include <cstring>

#include "layout/description.h"

namespace {

const char kHex[] = "0123456789ABCDEF";

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

}  // namespace

std::string manifest_detail::Line(char kind, std::initializer_list<std::string> fields) {
  std::string line(1, kind);
  for (const std::string& f : fields) {
    line += '\t';
    line += EscapeManifestField(f);
  }
  line += "\r\n";
  return line;
}

namespace {

std::vector<std::string> SplitTabs(const std::string& line) {
  std::vector<std::string> fields;
  size_t start = 0;
  for (;;) {
    const size_t tab = line.find('\t', start);
    fields.push_back(line.substr(start, tab == std::string::npos ? std::string::npos : tab - start));
    if (tab == std::string::npos) break;
    start = tab + 1;
  }
  return fields;
}

bool IsSha256Hex(const std::string& s) {
  if (s.size() != 64) return false;
  for (char c : s) {
    if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) return false;
  }
  return true;
}

bool ParseSize(const std::string& s, uint64_t* out) {
  if (s.empty() || s.size() > 20) return false;
  uint64_t v = 0;
  for (char c : s) {
    if (c < '0' || c > '9') return false;
    const uint64_t digit = static_cast<uint64_t>(c - '0');
    if (v > (UINT64_MAX - digit) / 10) return false;  // past the largest size
    v = v * 10 + digit;
  }
  *out = v;
  return true;
}

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }
bool IsSeparator(char c) { return c == '\\' || c == '/'; }

// One line's fields into the manifest (an A line's path into *created); false when they are wrong for a
// known kind.
bool TakeLine(char kind, const std::vector<std::string>& raw, UninstallManifest* m, std::vector<std::string>* created,
              bool* known) {
  *known = true;
  std::vector<std::string> f;
  for (const std::string& r : raw) {
    std::string v;
    if (r.size() > kMaxManifestField * 3 || !UnescapeManifestField(r, &v) || v.size() > kMaxManifestField) {
      return false;
    }
    f.push_back(v);
  }
  auto single = [&](std::string* target) {
    if (f.size() != 1 || f[0].empty()) return false;
    *target = f[0];
    return true;
  };
  switch (kind) {
    case 'F': {
      ManifestFile file;
      if (f.size() != 3 || !ParseSize(f[0], &file.size) || !IsSha256Hex(f[1]) || f[2].empty()) return false;
      file.sha256 = f[1];
      file.path = f[2];
      m->files.push_back(file);
      return true;
    }
    case 'A':
      if (f.size() != 1 || f[0].empty()) return false;
      created->push_back(f[0]);
      return true;
    case 'D':
      if (f.size() != 1 || f[0].empty()) return false;
      m->folders.push_back(f[0]);
      return true;
    case 'R':
      if (f.size() != 3 || f[0].empty()) return false;
      m->values.push_back({f[0], f[1], f[2]});
      return true;
    case 'T':
      if (f.size() != 2 || f[0].empty() || f[1].empty()) return false;
      m->fileTypes.push_back({f[0], f[1]});
      return true;
    case 'N':
      if (f.size() != 2 || f[0].empty() || f[1].empty()) return false;
      m->fonts.push_back({f[0], f[1]});
      return true;
    case 'S':
      return single(&m->shortcut);
    case 'G':
      return single(&m->group);
    case 'X':
      return single(&m->stagingFolder);
    case 'U':
      return single(&m->uninstallKey);
    case 'P':
      return single(&m->installerCopy);
    case 'C':
      return single(&m->systemName);
    case 'K':
      return single(&m->recordKey);
    case 'O':
      return single(&m->rootFolder);
    default:
      *known = false;
      return false;
  }
}

}  // namespace

std::string EscapeManifestField(const std::string& field) {
  std::string out;
  for (char c : field) {
    const unsigned char b = static_cast<unsigned char>(c);
    if (b < 0x20 || b == 0x7f || c == '%') {
      out += '%';
      out += kHex[b >> 4];
      out += kHex[b & 15];
    } else {
      out += c;
    }
  }
  return out;
}

bool UnescapeManifestField(const std::string& field, std::string* out) {
  out->clear();
  for (size_t i = 0; i < field.size(); ++i) {
    const char c = field[i];
    if (static_cast<unsigned char>(c) < 0x20) return false;  // never written raw
    if (c != '%') {
      *out += c;
      continue;
    }
    if (i + 2 >= field.size()) return false;
    const int hi = HexValue(field[i + 1]), lo = HexValue(field[i + 2]);
    if (hi < 0 || lo < 0) return false;
    *out += static_cast<char>(hi * 16 + lo);
    i += 2;
  }
  return true;
}

std::string WriteManifest(const UninstallManifest& m) {
  std::string text;
  WriteManifestTo(m, {&m.files}, static_cast<size_t>(-1), [&](const std::string& piece) {
    text += piece;
    return true;
  });
  return text;
}

namespace {

// True when two paths name the same file for the list: equal but for the case of ASCII letters.
bool SamePathNoCase(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (Lower(a[i]) != Lower(b[i])) return false;
  }
  return true;
}

}  // namespace

ManifestFileSet::ManifestFileSet() : index_(16, Hash{this}, Equal{this}) {}

size_t ManifestFileSet::Hash::operator()(size_t i) const {
  // FNV-1a over the path with ASCII letters folded, as SamePathNoCase compares.
  uint64_t h = 14695981039346656037ull;
  for (char c : set->PathAt(i)) {
    h ^= static_cast<unsigned char>(Lower(c));
    h *= 1099511628211ull;
  }
  return static_cast<size_t>(h ^ (h >> 32));
}

bool ManifestFileSet::Equal::operator()(size_t a, size_t b) const {
  return SamePathNoCase(set->PathAt(a), set->PathAt(b));
}

bool ManifestFileSet::Put(ManifestFile file) {
  const auto found = [&] {
    probe_ = &file.path;
    const auto it = index_.find(kProbe);
    probe_ = nullptr;
    return it;
  }();
  if (found != index_.end()) {
    file.created = file.created || files_[*found].created;
    files_[*found] = std::move(file);
    return false;
  }
  files_.push_back(std::move(file));
  index_.insert(files_.size() - 1);
  return true;
}

bool ManifestFileSet::MarkCreated(const std::string& path) {
  probe_ = &path;
  const auto found = index_.find(kProbe);
  probe_ = nullptr;
  if (found == index_.end()) return false;
  files_[*found].created = true;
  return true;
}

void InheritCreated(const std::vector<ManifestFile>& earlier, ManifestFileSet* recorded) {
  for (const ManifestFile& f : earlier) {
    if (f.created) recorded->MarkCreated(f.path);
  }
}

bool ManifestFileSet::Contains(const std::string& path) const {
  probe_ = &path;
  const bool found = index_.count(kProbe) != 0;
  probe_ = nullptr;
  return found;
}

ManifestParseResult ParseManifest(const char* text, size_t size, UninstallManifest* out) {
  *out = UninstallManifest();
  ManifestParseResult result;
  if (size > kMaxManifestBytes) return result;
  const std::string all(text, size);
  std::vector<std::string> created;  // the paths of the A lines
  size_t pos = 0;
  int number = 0;
  while (pos < all.size()) {
    size_t end = all.find("\r\n", pos);
    const bool terminated = end != std::string::npos;
    if (!terminated) end = all.size();
    const std::string line = all.substr(pos, end - pos);
    pos = terminated ? end + 2 : all.size();
    ++number;
    if (number == 1) {
      if (line != kManifestHeader) return result;
      result.headerOk = true;
      continue;
    }
    // A last line without its CR LF was cut while being written: it is not trusted.
    bool known = true;
    const bool ok = terminated && line.size() >= 2 && line[1] == '\t' &&
                    TakeLine(line[0], SplitTabs(line.substr(2)), out, &created, &known);
    if (ok) continue;
    if (!known && terminated) {
      ++result.unknownLines;
      continue;
    }
    ++result.badLines;
    if (result.firstBadLine == 0) result.firstBadLine = number;
  }
  if (!created.empty()) {
    // Through the set's index: a list of many files is not searched once per A line.
    ManifestFileSet marks;
    for (std::string& path : created) marks.Put({std::move(path), 0, std::string(), true});
    for (ManifestFile& f : out->files) f.created = marks.Contains(f.path);
  }
  return result;
}

bool IsPathInside(const std::string& path, const std::string& folder) {
  if (folder.empty() || path.size() < folder.size()) return false;
  if (ContainsParentSegment(path.c_str())) return false;
  for (size_t i = 0; i < folder.size(); ++i) {
    const char a = path[i], b = folder[i];
    if (IsSeparator(a) && IsSeparator(b)) continue;
    if (Lower(a) != Lower(b)) return false;
  }
  if (path.size() == folder.size()) return true;
  return IsSeparator(folder.back()) || IsSeparator(path[folder.size()]);
}
