// The end-of-run save of what the installation made: the uninstall list in the program folder, the
// installer's copy beside it and the uninstall entry.
#include "install/uninstall_save_win.h"

#include <cstring>
#include <string>
#include <vector>

#include "base/install_log_win.h"
#include "base/scoped_handle_win.h"
#include "base/sha256_win.h"
#include "install/description_win.h"
#include "install/registry.h"
#include "install/registry_win.h"
#include "install/shortcut_win.h"
#include "install/uninstall_bounds.h"
#include "install/uninstall_record_win.h"
#include "layout/install_layout.h"
#include "state/install_state_win.h"

namespace {

bool ReadText(const char* path, std::string* text) {
  ScopedFile f(
      CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!f) return false;
  LARGE_INTEGER size;
  if (!GetFileSizeEx(f.get(), &size) || size.QuadPart > static_cast<LONGLONG>(kMaxManifestBytes)) return false;
  text->resize(static_cast<size_t>(size.QuadPart));
  DWORD got = 0;
  return text->empty() ||
         (ReadFile(f.get(), &(*text)[0], static_cast<DWORD>(text->size()), &got, nullptr) && got == text->size());
}

// Writes the list's text piece by piece: a list of many files never has its whole text in memory. The
// SHA-256 of exactly the bytes written goes to *sha256 (the uninstall entry keeps it).
bool WriteList(const char* path, const UninstallManifest& m, const std::vector<ManifestFile>& recordedFiles,
               const std::vector<ManifestFile>& earlierFiles, std::string* sha256) {
  ScopedFile f(CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!f) return false;
  Sha256Hasher hash;
  const bool written = WriteManifestTo(m, {&recordedFiles, &earlierFiles}, 64 * 1024, [&](const std::string& piece) {
    DWORD put = 0;
    hash.Update(piece.data(), piece.size());
    return WriteFile(f.get(), piece.data(), static_cast<DWORD>(piece.size()), &put, nullptr) && put == piece.size();
  });
  return written && hash.FinishHex(sha256);
}

// Whether a list's text is the one the installation wrote last: its SHA-256 against the value the uninstall
// entry keeps (HKLM: only administrators may write it). A list without that value is not known to be ours.
bool ListMatchesEntry(const std::string& text, const std::string& uninstallKey) {
  char stored[kTextSize];
  if (RegReadString(HKEY_LOCAL_MACHINE, uninstallKey.c_str(), kListDigestValue, stored, sizeof stored) !=
      ERROR_SUCCESS) {
    return false;
  }
  Sha256Hasher hash;
  hash.Update(text.data(), text.size());
  std::string hex;
  return hash.FinishHex(&hex) && _stricmp(hex.c_str(), stored) == 0;
}

bool SameNoCase(const std::string& a, const std::string& b) { return _stricmp(a.c_str(), b.c_str()) == 0; }

// The earlier installation's entries stay (a file it made that this run kept is still ours to remove);
// this run's entries replace those of the same file, value or font. The earlier files that stay (the
// first entry of each path) go to `earlierFiles`, listed after this run's.
void MergeEarlier(UninstallManifest& old, const ManifestFileSet& recorded, UninstallManifest* now,
                  std::vector<ManifestFile>* earlierFiles) {
  ManifestFileSet kept;
  for (ManifestFile& f : old.files) {
    if (!recorded.Contains(f.path) && !kept.Contains(f.path)) kept.Put(std::move(f));
  }
  old.files.clear();
  old.files.shrink_to_fit();
  *earlierFiles = kept.files();
  std::vector<std::string> folders = old.folders;
  for (const std::string& d : now->folders) {
    bool known = false;
    for (const std::string& o : folders) known = known || SameNoCase(o, d);
    if (!known) folders.push_back(d);
  }
  now->folders = folders;
  for (const ManifestValue& v : old.values) {
    bool replaced = false;
    for (const ManifestValue& n : now->values) {
      replaced = replaced || (SameNoCase(n.key, v.key) && SameNoCase(n.name, v.name));
    }
    if (!replaced) now->values.push_back(v);
  }
  for (const ManifestFont& f : old.fonts) {
    bool replaced = false;
    for (const ManifestFont& n : now->fonts) replaced = replaced || SameNoCase(n.name, f.name);
    if (!replaced) now->fonts.push_back(f);
  }
  if (now->shortcut.empty()) now->shortcut = old.shortcut;
  if (now->group.empty()) now->group = old.group;
}

// The bytes the selected parts take, from the server's part sizes.
uint64_t SelectedPartBytes() {
  uint64_t total = 0;
  for (const DiscSizeRecord& disc : g_state.download.remote.discs) {
    for (int p = 0; p < kPartCount; ++p) {
      if (g_state.choices.partSelected[p] && disc.present[p] && disc.size[p] > 0)
        total += static_cast<uint64_t>(disc.size[p]);
    }
  }
  return total;
}

// The uninstall entry's key for a system name.
std::string UninstallKeyOf(const std::string& systemName) {
  return "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\" + systemName;
}

}  // namespace

bool SaveUninstallRecord() {
  char system[kTextSize], version[kTextSize], group[kTextSize];
  if (!ReadDescriptionValue("System", "CadSystem", system, sizeof system) || system[0] == '\0') return false;
  if (!ReadDescriptionValue("System", "Version", version, sizeof version)) version[0] = '\0';
  char recordKey[kTextSize];
  if (!BuildRecordKeyPath(system, recordKey, sizeof recordKey)) return false;
  if (g_state.paths.programFolder[0] == '\0') return false;
  const std::string programFolder = g_state.paths.programFolder;
  const std::string listPath = programFolder + kManifestFileName;
  const std::string copyPath = programFolder + kInstallerCopyName;
  const std::string uninstallKey = UninstallKeyOf(system);
  const bool hasGroup = FindGroupName(g_state.paths.descriptionPath, group, sizeof group);

  // The installer's copy: the uninstaller the entry names. A run started from that copy (a repair by
  // hand) finds itself in place already.
  char self[MAX_PATH + 1] = "";
  const DWORD n = GetModuleFileNameA(nullptr, self, sizeof self);
  if (n > 0 && n < sizeof self && _stricmp(self, copyPath.c_str()) != 0) {
    if (CopyFileA(self, copyPath.c_str(), FALSE)) {
      LogEvent("installer copied to %s", copyPath.c_str());
    } else {
      LogEvent("installer could not be copied to %s (error %lu)", copyPath.c_str(), GetLastError());
    }
  }

  // The uninstall entry (its values are recorded too, by WriteRegistryString).
  const std::string quoted = "\"" + copyPath + "\"";
  WriteRegistryString(HKEY_LOCAL_MACHINE, uninstallKey.c_str(), "DisplayName", hasGroup ? group : system);
  WriteRegistryString(HKEY_LOCAL_MACHINE, uninstallKey.c_str(), "DisplayVersion", version);
  WriteRegistryString(HKEY_LOCAL_MACHINE, uninstallKey.c_str(), "Publisher", "QuarnSoft");
  // The root folder holds everything the installation made on the target drive (the program folder is
  // below it), so it is the entry's location.
  const char* rootFolder = g_state.paths.rootFolder;
  WriteRegistryString(HKEY_LOCAL_MACHINE, uninstallKey.c_str(), "InstallLocation", rootFolder);
  WriteRegistryString(HKEY_LOCAL_MACHINE, uninstallKey.c_str(), "UninstallString", (quoted + " /UNINSTALL").c_str());
  WriteRegistryString(HKEY_LOCAL_MACHINE, uninstallKey.c_str(), "QuietUninstallString",
                      (quoted + " /UNINSTALL /S").c_str());
  RegWriteDword(HKEY_LOCAL_MACHINE, uninstallKey.c_str(), "EstimatedSize",
                static_cast<DWORD>((SelectedPartBytes() + 1023) / 1024));
  RegWriteDword(HKEY_LOCAL_MACHINE, uninstallKey.c_str(), "NoModify", 1);
  RegWriteDword(HKEY_LOCAL_MACHINE, uninstallKey.c_str(), "NoRepair", 1);

  // Held to the end: the recorded files are written from where they are kept, not from a copy.
  UninstallManifest m;
  bool written = false;
  DWORD error = 0;
  unsigned fileCount = 0;
  std::string listDigest;
  WithRecord([&](const UninstallManifest& record, ManifestFileSet& files) {
    m = record;
    m.systemName = system;
    m.recordKey = recordKey;
    m.rootFolder = rootFolder;
    if (hasGroup) m.group = group;
    m.stagingFolder = g_state.paths.stagingFolder;
    m.uninstallKey = uninstallKey;
    m.installerCopy = copyPath;
    // The entry's values go with the key; they are not listed one by one.
    std::vector<ManifestValue> values;
    for (const ManifestValue& v : m.values) {
      if (!SameNoCase(v.key, uninstallKey)) values.push_back(v);
    }
    m.values = values;

    std::vector<ManifestFile> earlierFiles;
    {
      std::string earlier;
      if (ReadText(listPath.c_str(), &earlier)) {
        UninstallManifest old;
        // Merged only when it is the list the earlier installation wrote: one another user has edited in the
        // program folder since would otherwise carry its lines into the new, trusted list.
        const bool verified = ListMatchesEntry(earlier, uninstallKey);
        const bool ours = verified && ParseManifest(earlier.data(), earlier.size(), &old).headerOk;
        if (!verified)
          LogEvent("uninstall list %s of an earlier installation not merged: it is not the one written",
                   listPath.c_str());
        std::string().swap(earlier);
        if (ours) {
          InheritCreated(old.files, &files);  // this run wrote over files the earlier one created
          MergeEarlier(old, files, &m, &earlierFiles);
        }
      }
    }
    fileCount = static_cast<unsigned>(files.files().size() + earlierFiles.size());
    written = WriteList(listPath.c_str(), m, files.files(), earlierFiles, &listDigest);
    error = written ? 0 : GetLastError();
  });
  if (!written) {
    LogEvent("uninstall list %s could not be written (error %lu)", listPath.c_str(), error);
    RegRemoveValue(HKEY_LOCAL_MACHINE, uninstallKey.c_str(), kListDigestValue);
    return false;
  }
  // Not listed itself: the entry's values go with its key.
  const LONG kept = RegWriteString(HKEY_LOCAL_MACHINE, uninstallKey.c_str(), kListDigestValue, listDigest.c_str());
  if (kept != ERROR_SUCCESS) {
    LogEvent("uninstall list digest could not be kept in HKLM\\%s (error %ld)", uninstallKey.c_str(),
             static_cast<long>(kept));
  }
  LogEvent("uninstall list %s: %u files, %u folders, %u values", listPath.c_str(), fileCount,
           static_cast<unsigned>(m.folders.size()), static_cast<unsigned>(m.values.size()));
  return true;
}
