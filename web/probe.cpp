#include "web/probe.h"

#include <cstring>

#include "layout/ini_lines.h"

const char kProbeHeaderMarker[] = "QuarnCAD WEB update system: V9.21";
const char kProbeCopyrightMarker[] = "QuarnSoft Ltd. 1992-2019.";

ProbeVerdict ScanProbeText(const char* text, int size, const std::atomic<int32_t>& cancel) {
  static const int headerLength = static_cast<int>(strlen(kProbeHeaderMarker));
  static const int copyrightLength = static_cast<int>(strlen(kProbeCopyrightMarker));
  IniLineCursor cursor(text, size);
  IniLine line;
  bool headerSeen = false;
  while (cursor.Next(&line)) {
    if (!line.terminated) break;
    if (cancel.load() != 0) return ProbeVerdict::kCancelled;
    if (!headerSeen) {
      headerSeen = IniLineBeginsWith(line, kProbeHeaderMarker, headerLength);
    } else if (IniLineBeginsWith(line, kProbeCopyrightMarker, copyrightLength)) {
      return ProbeVerdict::kAccepted;
    }
  }
  return ProbeVerdict::kRejected;
}
