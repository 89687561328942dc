// The progress texts the download and the copy both show: progress bar position, percentage text and the
// activity frames (the display itself is ui/web_display_win.h).
#pragma once
#include <cstddef>
#include <cstdint>

// bytesDone * 1000 / overallTotal in double precision (the bar's range is 0 to 1000); 0.0 for a zero
// total. Not limited to 1000: more bytes than announced show more than the whole.
double ProgressRatio(int64_t bytesDone, int64_t overallTotal);

// The bar position: the ratio truncated, held within the int range.
int ProgressPosition(double ratio);

// The ratio as a percentage with "%5.1f%%": "  0.0%", " 42.5%", "100.0%".
void FormatPercent(double ratio, char* text, size_t textSize);

// The activity frames shown from the second chunk of a file on: "|", "/", "-", "\", "" and round again.
constexpr int kActivityFrameCount = 5;
const char* ActivityFrame(int index);
