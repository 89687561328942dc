// The installation record below HKEY_LOCAL_MACHINE\Software\QuarnSoft\<CadSystem>, and the three small
// registry operations the record, the fonts, the file types, the uninstall entry and the uninstaller use.
//
// Without elevation the writes below HKEY_LOCAL_MACHINE are denied on Windows; the installation goes on
// without a record then, silently, as the record is a convenience for the installed system, not a
// condition of it. The log names each refusal with its error number.
#include "install/registry_win.h"

#include <cstdio>
#include <cstring>

#include "base/install_log_win.h"
#include "base/scoped_handle_win.h"
#include "install/description_win.h"
#include "install/registry.h"
#include "install/uninstall_record_win.h"
#include "layout/install_layout.h"
#include "state/install_state_win.h"

namespace {

// Absent (missing or starting with '*') and empty values alike end the step or the list.
bool ReadNonEmptyValue(const char* section, const char* key, char* buffer, size_t size) {
  return ReadDescriptionValue(section, key, buffer, size) && buffer[0] != '\0';
}

const char* RootName(HKEY root) { return root == HKEY_LOCAL_MACHINE ? "HKLM" : "HK?"; }

// "" for a write that went through, " (refused, error N)" for one that did not: a log reader sees both
// that it failed and why (5: access denied, without elevation).
struct RefusalNote {
  explicit RefusalNote(LONG rc) {
    if (rc == ERROR_SUCCESS) {
      text[0] = '\0';
    } else {
      snprintf(text, sizeof text, " (refused, error %ld)", static_cast<long>(rc));
    }
  }
  char text[40];
};

}  // namespace

LONG RegWriteString(HKEY root, const char* keyPath, const char* valueName, const char* text, REGSAM view) {
  HKEY raw = nullptr;
  LONG rc = RegCreateKeyExA(root, keyPath, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS | view, nullptr,
                            &raw, nullptr);
  if (rc == ERROR_SUCCESS) {
    ScopedRegKey key(raw);
    // The terminating zero is part of the stored string.
    const DWORD bytes = static_cast<DWORD>(strlen(text) + 1);
    rc = RegSetValueExA(key.get(), valueName, 0, REG_SZ, reinterpret_cast<const BYTE*>(text), bytes);
  }
  LogEvent("registry %s\\%s [%s] = \"%s\"%s", RootName(root), keyPath, valueName ? valueName : "", text,
           RefusalNote(rc).text);
  if (rc == ERROR_SUCCESS && root == HKEY_LOCAL_MACHINE) RecordRegistryValue(keyPath, valueName, text);
  return rc;
}

LONG RegWriteDword(HKEY root, const char* keyPath, const char* valueName, DWORD value, REGSAM view) {
  HKEY raw = nullptr;
  LONG rc = RegCreateKeyExA(root, keyPath, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS | view, nullptr,
                            &raw, nullptr);
  if (rc == ERROR_SUCCESS) {
    ScopedRegKey key(raw);
    rc = RegSetValueExA(key.get(), valueName, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
  }
  LogEvent("registry %s\\%s [%s] = %lu (DWORD)%s", RootName(root), keyPath, valueName ? valueName : "",
           static_cast<unsigned long>(value), RefusalNote(rc).text);
  return rc;
}

LONG RegReadString(HKEY root, const char* keyPath, const char* valueName, char* buffer, DWORD size, REGSAM view) {
  if (size == 0) return ERROR_MORE_DATA;
  buffer[0] = '\0';
  HKEY raw = nullptr;
  const LONG opened = RegOpenKeyExA(root, keyPath, 0, KEY_QUERY_VALUE | view, &raw);
  if (opened != ERROR_SUCCESS) return opened;
  ScopedRegKey key(raw);
  DWORD bytes = size;
  const LONG rc = RegQueryValueExA(key.get(), valueName, nullptr, nullptr, reinterpret_cast<BYTE*>(buffer), &bytes);
  if (rc != ERROR_SUCCESS) {
    buffer[0] = '\0';
    return rc;
  }
  // Registry strings need not carry their terminator; never hand back an unterminated buffer.
  if (bytes == 0) {
    buffer[0] = '\0';
  } else if (buffer[bytes - 1] != '\0') {
    if (bytes == size) {
      buffer[0] = '\0';
      return ERROR_MORE_DATA;  // the value filled the buffer without its terminator: it did not fit
    }
    buffer[bytes] = '\0';
  }
  return ERROR_SUCCESS;
}

LONG RegRemoveValue(HKEY root, const char* keyPath, const char* valueName, REGSAM view) {
  HKEY raw = nullptr;
  const LONG opened = RegOpenKeyExA(root, keyPath, 0, KEY_ALL_ACCESS | view, &raw);
  if (opened != ERROR_SUCCESS) return opened;
  ScopedRegKey key(raw);
  return RegDeleteValueA(key.get(), valueName);
}

bool WriteRegistryString(HKEY root, const char* keyPath, const char* valueName, const char* text, REGSAM view) {
  return RegWriteString(root, keyPath, valueName, text, view) == ERROR_SUCCESS;
}

bool ReadRegistryValue(HKEY root, const char* keyPath, const char* valueName, char* buffer, DWORD size,
                       REGSAM view) {
  return RegReadString(root, keyPath, valueName, buffer, size, view) == ERROR_SUCCESS;
}

bool DeleteRegistryValue(HKEY root, const char* keyPath, const char* valueName, REGSAM view) {
  return RegRemoveValue(root, keyPath, valueName, view) == ERROR_SUCCESS;
}

void WriteInstallationRecord() {
  const REGSAM view = kRecordView;
  char value[kTextSize];
  if (!ReadNonEmptyValue("System", "CadSystem", value, sizeof value)) return;
  char keyPath[kTextSize];
  if (!BuildRecordKeyPath(value, keyPath, sizeof keyPath)) return;

  if (!ReadNonEmptyValue("System", "SubSystem", value, sizeof value)) return;
  WriteRegistryString(HKEY_LOCAL_MACHINE, keyPath, "SubSystem", value, view);

  if (!ReadNonEmptyValue("System", "Version", value, sizeof value)) return;
  WriteRegistryString(HKEY_LOCAL_MACHINE, keyPath, "System Version", value, view);

  // Coordinated Universal Time: the record must not depend on the time zone of the installing machine.
  SYSTEMTIME now;
  GetSystemTime(&now);
  char text[kTextSize];
  FormatInstalledTime(now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond, text,
                      sizeof text);
  WriteRegistryString(HKEY_LOCAL_MACHINE, keyPath, "Installed Time", text, view);

  if (g_state.paths.rootFolder[0] != '\0') {
    WriteRegistryString(HKEY_LOCAL_MACHINE, keyPath, "Installed Path", g_state.paths.rootFolder, view);
  }

  // Without a user name the previous installation's "Installed By" stays as it was.
  DWORD userSize = sizeof text;
  if (GetUserNameA(text, &userSize)) WriteRegistryString(HKEY_LOCAL_MACHINE, keyPath, "Installed By", text, view);

  // An uninstaller marks its work with both values; a fresh installation clears the marks, but only when
  // "UnInstalled By" is there: a lone time stamp is not this pair and stays.
  if (ReadRegistryValue(HKEY_LOCAL_MACHINE, keyPath, "UnInstalled By", text, sizeof text, view)) {
    DeleteRegistryValue(HKEY_LOCAL_MACHINE, keyPath, "UnInstalled By", view);
    DeleteRegistryValue(HKEY_LOCAL_MACHINE, keyPath, "UnInstalled Time", view);
  }
}
