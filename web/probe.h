// The server probe's verdict over the text of Update.ini: the maker's update server holds, in this
// order, a line beginning with the update-system marker and a later line beginning with the copyright
// marker, both ended by CR LF.
#pragma once
#include <atomic>
#include <cstdint>

extern const char kProbeHeaderMarker[];     // "QuarnCAD WEB update system: V9.21"
extern const char kProbeCopyrightMarker[];  // "QuarnSoft Ltd. 1992-2019."

enum class ProbeVerdict { kAccepted, kRejected, kCancelled };

// Scans text (size bytes, not terminated) line by line; cancel is tested at every line end, before the
// line is looked at. A last line without CR LF is never looked at.
ProbeVerdict ScanProbeText(const char* text, int size, const std::atomic<int32_t>& cancel);
