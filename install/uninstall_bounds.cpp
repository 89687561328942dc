#include "install/uninstall_bounds.h"

#include <cstring>
#include <vector>

#include "layout/install_layout.h"

namespace {

constexpr char kUninstallRoot[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
constexpr char kClassesKey[] = "Software\\Classes\\";
constexpr char kFontsKey[] = "Software\\Microsoft\\Windows NT\\CurrentVersion\\Fonts";
constexpr char kRecordRoot[] = "Software\\QuarnSoft\\";

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool EqualNoCase(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (Lower(a[i]) != Lower(b[i])) return false;
  }
  return true;
}

bool StartsWithNoCase(const std::string& text, const std::string& prefix) {
  return text.size() >= prefix.size() && EqualNoCase(text.substr(0, prefix.size()), prefix);
}

std::string WithoutTrailingBackslash(std::string path) {
  while (!path.empty() && path.back() == '\\') path.pop_back();
  return path;
}

// Strictly below folder: "folder\x...", never folder itself.
bool IsBelow(const std::string& path, const std::string& folder) {
  const std::string f = WithoutTrailingBackslash(folder);
  const std::string p = WithoutTrailingBackslash(path);
  return !f.empty() && p.size() > f.size() + 1 && IsPathInside(p, f) && !EqualNoCase(p, f);
}

// A key name or key path element without "..", a drive or a separator: one element.
bool IsOneKeyName(const std::string& name) {
  return !name.empty() && name.find('\\') == std::string::npos && !ContainsParentSegment(name.c_str());
}

// The key path is key or below it.
bool IsKeyOrBelow(const std::string& path, const std::string& key) {
  return EqualNoCase(path, key) || StartsWithNoCase(path, key + "\\");
}

}  // namespace

bool IsInstallLocation(const std::string& location) {
  const std::string l = location.size() > 3 && location.back() == '\\' ? location.substr(0, location.size() - 1)
                                                                         : location;
  if (l.size() < 4 || !((l[0] >= 'A' && l[0] <= 'Z') || (l[0] >= 'a' && l[0] <= 'z')) || l[1] != ':' ||
      l[2] != '\\') {
    return false;
  }
  return IsPlainFolderName(l.c_str() + 3);
}

bool IsUninstallEntryKey(const std::string& key) {
  return StartsWithNoCase(key, kUninstallRoot) && IsOneKeyName(key.substr(strlen(kUninstallRoot)));
}

bool MayRemoveFileAt(const UninstallBounds& b, const std::string& path, bool created) {
  if (ContainsParentSegment(path.c_str()) || HoldsSpecialWindowsName(path.size() > 2 ? path.c_str() + 2 : "")) {
    return false;
  }
  return IsBelow(path, b.root) || (created && IsBelow(path, b.windowsFolder));
}

bool MayRemoveFolder(const UninstallBounds& b, const std::string& path) {
  return !ContainsParentSegment(path.c_str()) && IsBelow(path, b.root);
}

bool IsOwnShortcut(const UninstallBounds& b, const UninstallManifest& m, const std::string& path) {
  if (b.desktopFolder.empty() || m.group.empty() || !IsPlainLinkName(m.group.c_str())) return false;
  return EqualNoCase(path, WithoutTrailingBackslash(b.desktopFolder) + "\\" + m.group + ".lnk");
}

bool IsOwnRecordKey(const std::string& key) {
  return StartsWithNoCase(key, kRecordRoot) && key.size() > strlen(kRecordRoot) &&
         !ContainsParentSegment(key.c_str()) && key.back() != '\\';
}

bool IsOwnValue(const UninstallManifest& m, const ManifestValue& v) {
  if (ContainsParentSegment(v.key.c_str())) return false;
  if (EqualNoCase(v.key, kFontsKey)) {
    for (const ManifestFont& f : m.fonts) {
      if (EqualNoCase(f.name, v.name)) return true;
    }
    return false;
  }
  // The set's file types: T lines, and the extensions the installation registered (an R line giving
  // "Software\Classes\.<ext>" its class), with their classes.
  std::vector<ManifestFileType> types = m.fileTypes;
  for (const ManifestValue& r : m.values) {
    const std::string tail = StartsWithNoCase(r.key, kClassesKey) ? r.key.substr(strlen(kClassesKey)) : "";
    if (r.name.empty() && tail.size() > 1 && tail[0] == '.' && IsOneKeyName(tail) && IsOneKeyName(r.data)) {
      types.push_back({tail, r.data});
    }
  }
  for (const ManifestFileType& t : types) {
    for (const std::string& name : {t.extension, t.className}) {
      if (IsOneKeyName(name) && IsKeyOrBelow(v.key, kClassesKey + name)) return true;
    }
  }
  return false;
}

bool IsPlainGroupName(const std::string& name) {
  if (name.empty()) return false;
  for (unsigned char c : name) {
    if (c < 0x20 || c == 0x7F || strchr("[](),\"", c) != nullptr) return false;
  }
  return true;
}

bool IsOwnStagingFolder(const UninstallBounds& b, const std::string& path) {
  return !b.root.empty() &&
         EqualNoCase(WithoutTrailingBackslash(path), WithoutTrailingBackslash(b.root) + "\\QuarnWin32\\Install");
}

bool IsOwnInstallerCopy(const UninstallBounds& b, const std::string& path) {
  return !b.root.empty() &&
         EqualNoCase(path, WithoutTrailingBackslash(b.root) + "\\QuarnWin32\\QuarnWebInstall.exe");
}
