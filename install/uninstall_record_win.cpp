#include "install/uninstall_record_win.h"

#include <cstdio>
#include <cstring>
#include <functional>
#include <vector>

#include "base/install_log_win.h"
#include "base/scoped_handle_win.h"
#include "base/scoped_lock_win.h"
#include "base/sha256_win.h"

namespace {

struct Recorder {
  CRITICAL_SECTION lock;
  UninstallManifest manifest;  // everything but the files
  ManifestFileSet files;
};

Recorder& TheRecorder() {
  static Recorder* r = [] {
    Recorder* x = new Recorder();
    InitializeCriticalSection(&x->lock);
    return x;
  }();
  return *r;
}

template <typename F>
void Locked(F f) {
  Recorder& r = TheRecorder();
  ScopedLock held(r.lock);
  f(r.manifest);
}

template <typename F>
void LockedFiles(F f) {
  Recorder& r = TheRecorder();
  ScopedLock held(r.lock);
  f(r.files);
}

bool SameNoCase(const std::string& a, const std::string& b) { return _stricmp(a.c_str(), b.c_str()) == 0; }

}  // namespace

bool HashFile(const char* path, uint64_t* size, std::string* sha256) {
  ScopedFile f(CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!f) return false;
  // Only plain files are ours to compare: a device would never end.
  if (GetFileType(f.get()) != FILE_TYPE_DISK) return false;
  Sha256Hasher hash;
  std::string buffer(64 * 1024, '\0');
  for (;;) {
    DWORD got = 0;
    if (!ReadFile(f.get(), &buffer[0], static_cast<DWORD>(buffer.size()), &got, nullptr)) return false;
    if (got == 0) break;
    hash.Update(buffer.data(), got);
  }
  *size = hash.bytes();
  return hash.FinishHex(sha256);
}

void RecordInstalledFile(const char* path, uint64_t size, const std::string& sha256, bool created) {
  ManifestFile file;
  file.path = path;
  file.size = size;
  file.sha256 = sha256;
  file.created = created;
  LockedFiles([&](ManifestFileSet& files) { files.Put(std::move(file)); });
}

bool FindRecordedFile(const char* path, uint64_t* size, std::string* sha256) {
  bool found = false;
  LockedFiles([&](ManifestFileSet& files) {
    for (const ManifestFile& f : files.files()) {
      // Windows names are case-insensitive: the list may spell the program file otherwise.
      if (lstrcmpiA(f.path.c_str(), path) != 0) continue;
      *size = f.size;
      *sha256 = f.sha256;
      found = true;
    }
  });
  return found;
}

void RecordCreatedFolder(const char* path) {
  LogEvent("folder made: %s", path);
  Locked([&](UninstallManifest& m) { m.folders.push_back(path); });
}

void RecordRegistryValue(const char* keyPath, const char* valueName, const char* data) {
  Locked([&](UninstallManifest& m) {
    const std::string name = valueName ? valueName : "";
    for (ManifestValue& v : m.values) {
      if (SameNoCase(v.key, keyPath) && SameNoCase(v.name, name)) {
        v.data = data;
        return;
      }
    }
    m.values.push_back({keyPath, name, data});
  });
}

void RecordFont(const char* fontName, const char* fontFile) {
  Locked([&](UninstallManifest& m) { m.fonts.push_back({fontName, fontFile}); });
}

void RecordShortcut(const char* linkPath) {
  Locked([&](UninstallManifest& m) { m.shortcut = linkPath; });
}

bool HashOpenFile(HANDLE file, uint64_t* size, std::string* sha256) {
  std::vector<char> buffer(64 * 1024);
  Sha256Hasher hash;
  for (;;) {
    DWORD got = 0;
    if (!ReadFile(file, buffer.data(), static_cast<DWORD>(buffer.size()), &got, nullptr)) return false;
    if (got == 0) break;
    hash.Update(buffer.data(), got);
  }
  *size = hash.bytes();
  return hash.FinishHex(sha256);
}

void WithRecord(const std::function<void(const UninstallManifest& record, ManifestFileSet& files)>& use) {
  Recorder& r = TheRecorder();
  ScopedLock held(r.lock);
  use(r.manifest, r.files);
}

void ForgetRecord() {
  Recorder& r = TheRecorder();
  ScopedLock held(r.lock);
  r.manifest = UninstallManifest{};
  r.files.Clear();
}
