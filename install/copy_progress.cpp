#include "install/copy_progress.h"

#include "layout/progress_text.h"

namespace {
double Ratio(double done, uint32_t total) { return total == 0 ? 0.01 : done / static_cast<double>(total); }
}  // namespace

double CopyRatioAtFileEnd(uint32_t done, uint32_t total) { return Ratio(static_cast<double>(done), total); }

double CopyRatioInFile(uint32_t done, uint64_t writtenInFile, uint32_t total) {
  return Ratio(static_cast<double>(done) + 0.25 * static_cast<double>(writtenInFile), total);
}

void FormatCopyPercent(double ratio, char* out, size_t size) {
  if (size == 0) return;
  FormatPercent(ratio * 1000.0, out, size);  // the download's text takes the bar's per-mille scale
}

int CopyBarPosition(double ratio) {
  // The bar clamps its position to its range anyway; clamping here keeps a runaway ratio (a tiny total)
  // from overflowing the integer conversion.
  double pos = ratio * 1000.0;
  if (!(pos > 0.0)) return 0;
  if (pos >= 1000.0) return 1000;
  return static_cast<int>(pos);
}
