// The uninstaller. It removes exactly what the installation listed, in this order: the fonts from the
// session's font table, the files whose content is unchanged (a changed one is kept and named), the
// registry values that still hold what was written (keys left empty below Software\Classes go too), the
// desktop shortcut, the Program Manager group, the staging folder, the folders left empty, the uninstall
// entry; then it marks the installation record and removes the list and itself.
//
// The list lies in the program folder, which other users may write. It is used only when its SHA-256 is the
// one the uninstall entry keeps (HKLM), and even then every line is held to what the installation can have
// written (install/uninstall_bounds.h): the root folder comes from the entry's InstallLocation, nothing
// outside it is touched but the files the installation created in the Windows folder (never one that was
// there before it), and no junction or symbolic link is followed.
#include "app/uninstall_win.h"

#include <shlobj.h>

#include <cstring>
#include <string>
#include <vector>

#include "app/usage_texts.h"
#include "base/install_log_win.h"
#include "base/message_box_win.h"
#include "base/resource_text_win.h"
#include "base/scoped_handle_win.h"
#include "base/sha256_win.h"
#include "install/progman_dde_win.h"
#include "install/registry.h"
#include "install/registry_win.h"
#include "install/uninstall_bounds.h"
#include "install/uninstall_manifest.h"
#include "install/uninstall_record_win.h"
#include "install/uninstall_save_win.h"
#include "res/resource.h"
#include "state/install_state_win.h"

namespace {

constexpr char kFontsKey[] = "Software\\Microsoft\\Windows NT\\CurrentVersion\\Fonts";
constexpr char kClassesKey[] = "Software\\Classes\\";

bool ReadWholeFile(const std::string& path, std::string* text) {
  ScopedFile f(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!f) return false;
  LARGE_INTEGER size;
  if (!GetFileSizeEx(f.get(), &size) || size.QuadPart > static_cast<LONGLONG>(kMaxManifestBytes)) return false;
  text->resize(static_cast<size_t>(size.QuadPart));
  DWORD got = 0;
  return text->empty() || (ReadFile(f.get(), &(*text)[0], static_cast<DWORD>(text->size()), &got, nullptr) &&
                           got == text->size());
}

std::string OwnFolder() {
  char self[MAX_PATH + 1] = "";
  const DWORD n = GetModuleFileNameA(nullptr, self, sizeof self);
  if (n == 0 || n >= sizeof self) return "";
  std::string path(self);
  return path.substr(0, path.find_last_of('\\') + 1);
}

std::string FontsFolder() {
  return g_state.process.windowsFolder[0] ? std::string(g_state.process.windowsFolder) + "\\Fonts" : std::string();
}

bool StartsWithNoCase(const std::string& text, const char* prefix) {
  return _strnicmp(text.c_str(), prefix, strlen(prefix)) == 0;
}

// The values an installation writes: its file types below Software\Classes and its fonts under the fonts
// key; never the record's own key.
bool MayRemoveValue(const UninstallManifest& m, const ManifestValue& v) {
  if (!m.recordKey.empty() && _stricmp(v.key.c_str(), m.recordKey.c_str()) == 0) return false;  // the record stays
  return IsOwnValue(m, v);
}

bool IsReparsePoint(const std::string& path) {
  std::string p = path;
  while (p.size() > 3 && p.back() == '\\') p.pop_back();  // "X\" asks for X itself
  const DWORD attributes = GetFileAttributesA(p.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

// True when the root folder or any folder between it and path is a junction or a symbolic link: a file
// "below" the root would then lie wherever the link points. (A path ending in a backslash names a folder:
// that folder is checked too.)
bool PassesThroughLink(const std::string& root, const std::string& path) {
  if (IsReparsePoint(root)) return true;
  for (size_t at = path.find('\\', root.size() + 1); at != std::string::npos; at = path.find('\\', at + 1)) {
    if (IsReparsePoint(path.substr(0, at))) return true;
  }
  return false;
}

// Removes key and its parents while they are empty, never Software\Classes itself or above it.
void PruneEmptyKeys(std::string key) {
  while (StartsWithNoCase(key, kClassesKey) && key.size() > strlen(kClassesKey)) {
    HKEY raw = nullptr;
    const LONG opened = RegOpenKeyExA(HKEY_LOCAL_MACHINE, key.c_str(), 0, KEY_READ, &raw);
    if (opened == ERROR_FILE_NOT_FOUND) {
      // Already gone: its parent may still be empty.
    } else if (opened != ERROR_SUCCESS) {
      return;  // not ours to judge
    } else {
      ScopedRegKey k(raw);
      DWORD subkeys = 0, values = 0;
      if (RegQueryInfoKeyA(k.get(), nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, &values, nullptr,
                           nullptr, nullptr, nullptr) != ERROR_SUCCESS ||
          subkeys != 0 || values != 0) {
        return;
      }
      k.reset();
      const LONG rc = RegDeleteKeyA(HKEY_LOCAL_MACHINE, key.c_str());
      if (rc != ERROR_SUCCESS) {
        LogEvent("registry key HKLM\\%s could not be removed (error %ld)", key.c_str(), static_cast<long>(rc));
        return;
      }
      LogEvent("registry key removed: HKLM\\%s", key.c_str());
    }
    const size_t cut = key.find_last_of('\\');
    if (cut == std::string::npos) return;
    key.resize(cut);
  }
}

void RemoveValues(const UninstallManifest& m) {
  for (const ManifestValue& v : m.values) {
    if (!MayRemoveValue(m, v)) continue;
    char now[1024];
    const char* name = v.name.empty() ? nullptr : v.name.c_str();
    const LONG read = RegReadString(HKEY_LOCAL_MACHINE, v.key.c_str(), name, now, sizeof now);
    if (read == ERROR_FILE_NOT_FOUND) {
      LogEvent("registry HKLM\\%s [%s]: already gone", v.key.c_str(), v.name.c_str());
    } else if (read != ERROR_SUCCESS) {
      // Not readable (refused, or longer than anything the installation wrote): not known to be ours.
      LogEvent("registry HKLM\\%s [%s] kept: it could not be read (error %ld)", v.key.c_str(), v.name.c_str(),
               static_cast<long>(read));
      continue;
    } else if (v.data != now) {
      // Another program has taken the file type or the font name over since: it is theirs now.
      LogEvent("registry HKLM\\%s [%s] kept: it now holds \"%s\"", v.key.c_str(), v.name.c_str(), now);
      continue;
    } else {
      const LONG removed = RegRemoveValue(HKEY_LOCAL_MACHINE, v.key.c_str(), name);
      if (removed == ERROR_SUCCESS) {
        LogEvent("registry HKLM\\%s [%s] removed", v.key.c_str(), v.name.c_str());
      } else {
        LogEvent("registry HKLM\\%s [%s] could not be removed (error %ld)", v.key.c_str(), v.name.c_str(),
                 static_cast<long>(removed));
      }
    }
    PruneEmptyKeys(v.key);
  }
}

void RemoveFontsFromSession(const UninstallManifest& m) {
  for (const ManifestFont& f : m.fonts) {
    char now[1024];
    if (ReadRegistryValue(HKEY_LOCAL_MACHINE, kFontsKey, f.name.c_str(), now, sizeof now) && f.file != now) {
      continue;  // the name stands for another file now
    }
    const std::string path = FontsFolder() + "\\" + f.file;
    const BOOL removed = RemoveFontResourceA(path.c_str());
    if (removed) SendMessageTimeoutA(HWND_BROADCAST, WM_FONTCHANGE, 0, 0, SMTO_ABORTIFHUNG, 2000, nullptr);
    LogEvent("font %s (%s): %s", f.name.c_str(), path.c_str(), removed ? "removed from the font table" : "not loaded");
  }
}

void RemoveFiles(const UninstallManifest& m, const UninstallBounds& bounds, std::vector<std::string>* kept) {
  for (const ManifestFile& f : m.files) {
    const bool inRoot = IsPathInside(f.path, bounds.root);
    if (!MayRemoveFileAt(bounds, f.path, f.created)) {
      if (!inRoot && !f.created && IsPathInside(f.path, bounds.windowsFolder)) {
        LogEvent("file %s left alone: it was in the Windows folder before the installation replaced it", f.path.c_str());
      } else {
        LogEvent("file %s left alone: outside the installation's folders", f.path.c_str());
      }
      continue;
    }
    if (PassesThroughLink(inRoot ? bounds.root : bounds.windowsFolder, f.path)) {
      LogEvent("file %s left alone: a folder on its way is a junction or a link", f.path.c_str());
      continue;
    }
    const DWORD attributes = GetFileAttributesA(f.path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
      LogEvent("file %s: already gone", f.path.c_str());
      continue;
    }
    if (attributes & FILE_ATTRIBUTE_READONLY) SetFileAttributesA(f.path.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY);
    // Checked and deleted through one handle, the link itself if it is one: nothing can be put in its
    // place between the check and the deletion, and a link's target is never touched.
    ScopedFile file(CreateFileA(f.path.c_str(), GENERIC_READ | DELETE, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    BY_HANDLE_FILE_INFORMATION info;
    uint64_t size = 0;
    std::string hash;
    if (!file || !GetFileInformationByHandle(file.get(), &info) ||
        (info.dwFileAttributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY)) != 0 ||
        !HashOpenFile(file.get(), &size, &hash) || size != f.size || hash != f.sha256) {
      LogEvent("file kept: %s changed since the installation", f.path.c_str());
      kept->push_back(f.path);
      continue;
    }
    FILE_DISPOSITION_INFO dispose = {TRUE};
    if (SetFileInformationByHandle(file.get(), FileDispositionInfo, &dispose, sizeof dispose)) {
      LogEvent("file removed: %s", f.path.c_str());
    } else {
      LogEvent("file %s could not be removed (error %lu)", f.path.c_str(), GetLastError());
    }
  }
}

// A junction or a symbolic link met on the way: it goes itself, what it points to is never entered.
void RemoveLink(const std::string& path, DWORD attributes) {
  const BOOL removed = (attributes & FILE_ATTRIBUTE_DIRECTORY) ? RemoveDirectoryA(path.c_str()) : DeleteFileA(path.c_str());
  if (removed) {
    LogEvent("link removed, not followed: %s", path.c_str());
  } else {
    LogEvent("link not followed: %s; it could not be removed (error %lu)", path.c_str(), GetLastError());
  }
}

// Removes a folder with everything below it (the staging folder: all of it is the installer's). A folder
// that is itself a link is removed as the link. true: the folder is gone.
bool RemoveTree(const std::string& folder) {
  std::string base = folder;
  while (!base.empty() && base.back() == '\\') base.pop_back();
  const DWORD own = GetFileAttributesA(base.c_str());
  if (own != INVALID_FILE_ATTRIBUTES && (own & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
    RemoveLink(base, own);
    return GetFileAttributesA(base.c_str()) == INVALID_FILE_ATTRIBUTES;
  }
  WIN32_FIND_DATAA found;
  ScopedFind search(FindFirstFileA((base + "\\*").c_str(), &found));
  if (search) {
    do {
      const std::string name = found.cFileName;
      if (name == "." || name == "..") continue;
      const std::string path = base + "\\" + name;
      if (found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) {
        RemoveLink(path, found.dwFileAttributes);
      } else if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        RemoveTree(path);
      } else {
        SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileA(path.c_str());
      }
    } while (FindNextFileA(search.get(), &found));
    search.reset();  // the folder cannot go while a search in it is open
  }
  return RemoveDirectoryA(base.c_str()) != FALSE;
}

// The Program Manager group, over the same conversation as its creation, with the same time-out.
void RemoveProgramManagerGroup(const std::string& group) {
  if (group.empty()) return;
  const std::string command = "[DeleteGroup(" + group + ")]";
  const ProgramManagerAnswer answer = SendProgramManagerCommand(command);
  if (answer == ProgramManagerAnswer::kNoServer) {
    LogEvent("Program Manager: no answer; group \"%s\" not removed", group.c_str());
    return;
  }
  LogEvent("Program Manager command %s: %s", command.c_str(),
           answer == ProgramManagerAnswer::kAnswered ? "answered" : "no answer in time");
}

void MarkRecord(const UninstallManifest& m) {
  if (m.recordKey.empty()) return;
  if (!IsOwnRecordKey(m.recordKey)) {
    LogEvent("record key HKLM\\%s not marked: not below the maker's key", m.recordKey.c_str());
    return;
  }
  char user[256];
  DWORD size = sizeof user;
  if (!GetUserNameA(user, &size)) user[0] = '\0';
  SYSTEMTIME now;
  GetSystemTime(&now);
  char time[64];
  FormatInstalledTime(now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond, time, sizeof time);
  // In the record's own view (the 32-bit one), where the installation reads and clears the marks.
  WriteRegistryString(HKEY_LOCAL_MACHINE, m.recordKey.c_str(), "UnInstalled By", user, kRecordView);
  WriteRegistryString(HKEY_LOCAL_MACHINE, m.recordKey.c_str(), "UnInstalled Time", time, kRecordView);
}

// The entry under ...\CurrentVersion\Uninstall (its values go with it; it has no subkeys of ours).
// Only the entry whose kept digest the list matched.
void RemoveUninstallEntry(const UninstallBounds& b) {
  if (!IsUninstallEntryKey(b.entryKey)) return;
  const LONG rc = RegDeleteKeyA(HKEY_LOCAL_MACHINE, b.entryKey.c_str());
  if (rc == ERROR_SUCCESS) {
    LogEvent("uninstall entry removed: HKLM\\%s", b.entryKey.c_str());
  } else if (rc != ERROR_FILE_NOT_FOUND) {
    LogEvent("uninstall entry HKLM\\%s could not be removed (error %ld)", b.entryKey.c_str(), static_cast<long>(rc));
  }
}

// The running program cannot delete its own file: it is handed to the platform to delete at the next
// start of Windows, together with the program folder if that is empty then.
void RemoveSelfLast(const UninstallManifest& m, const UninstallBounds& b, const std::string& listPath) {
  DeleteFileA(listPath.c_str());
  if (!IsOwnInstallerCopy(b, m.installerCopy)) return;
  if (DeleteFileA(m.installerCopy.c_str())) {
    LogEvent("installer copy removed: %s", m.installerCopy.c_str());
  } else if (MoveFileExA(m.installerCopy.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT)) {
    LogEvent("installer copy %s: removed at the next start of Windows", m.installerCopy.c_str());
  } else {
    LogEvent("installer copy %s could not be removed (error %lu)", m.installerCopy.c_str(), GetLastError());
  }
}

std::string WithoutTrailingSeparator(std::string path) {
  while (path.size() > 3 && path.back() == '\\') path.pop_back();
  return path;
}

void RemoveFolders(const UninstallManifest& m, const UninstallBounds& b, const std::string& programFolder) {
  // Newest first: children before their parents. Only empty folders go (a junction goes as itself).
  for (auto it = m.folders.rbegin(); it != m.folders.rend(); ++it) {
    if (!MayRemoveFolder(b, *it)) continue;
    const std::string folder = WithoutTrailingSeparator(*it);
    if (PassesThroughLink(b.root, folder)) {
      LogEvent("folder %s left alone: a folder on its way is a junction or a link", folder.c_str());
      continue;
    }
    if (GetFileAttributesA(folder.c_str()) == INVALID_FILE_ATTRIBUTES) continue;  // gone with the staging folder
    if (RemoveDirectoryA(folder.c_str())) {
      LogEvent("folder removed: %s", folder.c_str());
    } else if (IsPathInside(programFolder, folder)) {
      // Holds the running uninstaller until it ends.
      if (MoveFileExA(folder.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT)) {
        LogEvent("folder %s: removed at the next start of Windows", folder.c_str());
      }
    } else {
      LogEvent("folder kept: %s (not empty)", folder.c_str());
    }
  }
}


// The uninstall entry's own path of the desktop folder the shortcut was made on.
std::string DesktopFolder() {
  char path[MAX_PATH + 1] = "";
  return SUCCEEDED(SHGetFolderPathA(nullptr, CSIDL_DESKTOPDIRECTORY, nullptr, SHGFP_TYPE_CURRENT, path)) ? path : "";
}

// The list is the installation's own when the uninstall entry it names keeps its SHA-256; then the bounds
// come from that entry (the root folder: InstallLocation) and the system.
bool VerifyList(const std::string& text, const UninstallManifest& m, UninstallBounds* b) {
  if (!IsUninstallEntryKey(m.uninstallKey)) {
    LogEvent("uninstall: the list names no uninstall entry of ours");
    return false;
  }
  char stored[kTextSize];
  if (RegReadString(HKEY_LOCAL_MACHINE, m.uninstallKey.c_str(), kListDigestValue, stored, sizeof stored) !=
      ERROR_SUCCESS) {
    LogEvent("uninstall: HKLM\\%s keeps no digest of a list", m.uninstallKey.c_str());
    return false;
  }
  Sha256Hasher hash;
  hash.Update(text.data(), text.size());
  std::string digest;
  if (!hash.FinishHex(&digest) || _stricmp(digest.c_str(), stored) != 0) {
    LogEvent("uninstall: the list differs from the one the installation wrote (SHA-256 %s, kept %s)", digest.c_str(),
             stored);
    return false;
  }
  char location[kTextSize];
  if (RegReadString(HKEY_LOCAL_MACHINE, m.uninstallKey.c_str(), "InstallLocation", location, sizeof location) !=
          ERROR_SUCCESS ||
      !IsInstallLocation(location)) {
    LogEvent("uninstall: HKLM\\%s has no usable InstallLocation", m.uninstallKey.c_str());
    return false;
  }
  b->root = location;
  while (b->root.size() > 3 && b->root.back() == '\\') b->root.pop_back();
  b->windowsFolder = g_state.process.windowsFolder;
  b->desktopFolder = DesktopFolder();
  b->entryKey = m.uninstallKey;
  return true;
}

}  // namespace

ExitCode RunUninstall() {
  const std::string listPath = OwnFolder() + kManifestFileName;
  LogEvent("uninstall: list %s", listPath.c_str());
  std::string text;
  UninstallManifest m;
  ManifestParseResult parsed;
  if (ReadWholeFile(listPath, &text)) parsed = ParseManifest(text.data(), text.size(), &m);
  if (!parsed.headerOk) {
    LogEvent("uninstall: no list of what an installation created");
    ShowBox(nullptr, LoadResourceText(g_state.windows.instance, IDS_NOTHING_TO_UNINSTALL).c_str(), g_state.process.caption, MB_OK | MB_ICONERROR, IDOK);
    return ExitCode::kNotInstalled;
  }
  UninstallBounds bounds;
  if (!VerifyList(text, m, &bounds)) {
    ShowBox(nullptr, LoadResourceText(g_state.windows.instance, IDS_UNINSTALL_LIST_CHANGED).c_str(), g_state.process.caption, MB_OK | MB_ICONERROR, IDOK);
    return ExitCode::kUninstallListRefused;
  }
  LogEvent("uninstall: list verified against HKLM\\%s; root folder %s", bounds.entryKey.c_str(), bounds.root.c_str());
  if (parsed.badLines) {
    LogEvent("uninstall: %d damaged line(s) skipped, the first is line %d", parsed.badLines, parsed.firstBadLine);
  }
  const std::string name = m.systemName.empty() ? m.group : m.systemName;
  const std::string question = LoadResourceText(g_state.windows.instance, IDS_UNINSTALL_QUESTION);
  if (ShowBox(nullptr, UninstallQuestion(question.c_str(), name.c_str()).c_str(), g_state.process.caption, MB_YESNO | MB_ICONQUESTION, IDYES) !=
      IDYES) {
    return ExitCode::kCancelled;
  }
  // The log of the removal goes to the temporary folder: the staging folder is removed.
  std::vector<std::string> kept;
  RemoveFontsFromSession(m);
  RemoveFiles(m, bounds, &kept);
  RemoveValues(m);
  if (!m.shortcut.empty()) {
    if (!IsOwnShortcut(bounds, m, m.shortcut)) {
      LogEvent("shortcut %s left alone: not this system's on the desktop", m.shortcut.c_str());
    } else if (DeleteFileA(m.shortcut.c_str())) {
      LogEvent("shortcut removed: %s", m.shortcut.c_str());
    }
  }
  if (IsPlainGroupName(m.group)) {
    RemoveProgramManagerGroup(m.group);
  } else if (!m.group.empty()) {
    LogEvent("Program Manager group \"%s\" not removed: the name would carry another command", m.group.c_str());
  }
  if (!IsOwnStagingFolder(bounds, m.stagingFolder)) {
    if (!m.stagingFolder.empty()) LogEvent("staging folder %s left alone: not this installation's", m.stagingFolder.c_str());
  } else if (PassesThroughLink(bounds.root, m.stagingFolder)) {
    LogEvent("staging folder %s left alone: a folder on its way is a junction or a link", m.stagingFolder.c_str());
  } else if (RemoveTree(m.stagingFolder)) {
    LogEvent("staging folder removed: %s", m.stagingFolder.c_str());
  } else {
    LogEvent("staging folder kept: %s (not empty)", m.stagingFolder.c_str());
  }
  RemoveUninstallEntry(bounds);
  MarkRecord(m);
  RemoveSelfLast(m, bounds, listPath);
  std::string programFolder = OwnFolder();
  if (!programFolder.empty()) programFolder.pop_back();
  RemoveFolders(m, bounds, programFolder);
  for (const std::string& k : kept) LogEvent("kept (changed): %s", k.c_str());
  const std::string done = LoadResourceText(g_state.windows.instance, IDS_UNINSTALL_DONE);
  const std::string keptText = LoadResourceText(g_state.windows.instance, IDS_UNINSTALL_DONE_KEPT);
  ShowBox(nullptr, UninstallDoneText(done.c_str(), keptText.c_str(), kept).c_str(), g_state.process.caption, MB_OK | MB_ICONINFORMATION, IDOK);
  return ExitCode::kInstalled;
}
