// The parts of the installation record that are plain text: the record's key, its time stamp and the
// installed path. The registry calls themselves are in registry_win.cpp.
#pragma once
#include <cstddef>

// The record lives below HKEY_LOCAL_MACHINE under this prefix followed by the CadSystem name.
constexpr const char* kRecordKeyPrefix = "Software\\QuarnSoft\\";

// "Software\QuarnSoft\" + cadSystem into out. False when it does not fit: a cut key name would put the
// record under a wrong key, so the caller writes nothing then.
bool BuildRecordKeyPath(const char* cadSystem, char* out, size_t size);

// The record's time stamp, "2026.12.07. 09:05:03" (year.month.day. hour:minute:second). False when it
// does not fit into out.
bool FormatInstalledTime(int year, int month, int day, int hour, int minute, int second, char* out,
                         size_t size);
