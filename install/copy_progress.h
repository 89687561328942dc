// The copy step's progress arithmetic: the percentage text and the progress bar position. The text and
// the spinner frames are those of the download display (layout/progress_text.h), so both phases look alike.
// Portable so that the figures can be checked without a window.
#pragma once
#include <cstddef>
#include <cstdint>

// The copy display reads its counters in blocks of this size: one spinner frame per full block.
constexpr uint32_t kCopyBlockSize = 512000;

// Share of the whole job done after a file: done / total. With a total of 0 (nothing was counted, so
// nothing can be said) the display shows 1 percent rather than dividing by zero.
double CopyRatioAtFileEnd(uint32_t done, uint32_t total);

// Share during a file, after a full block: the file's bytes written so far count a quarter, so that a
// long file moves the percentage a little without running ahead of the end-of-file figure.
double CopyRatioInFile(uint32_t done, uint64_t writtenInFile, uint32_t total);

// The percentage field: ratio x 100 as "%5.1f%%" ("  1.0%", " 50.0%", "100.0%"). Values past 100 % are
// shown as they are. Writes at most size bytes, always terminated.
void FormatCopyPercent(double ratio, char* out, size_t size);

// The progress bar position (range 0..1000): ratio x 1000 truncated, held inside the bar's range.
int CopyBarPosition(double ratio);
