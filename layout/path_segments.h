// The segments of a path taken from a set or a server: which ones move through the tree. Below both the
// description formats (a file line's paths) and the installed layout (every "stays inside its folder"
// rule), which include it.
#pragma once

// '\' and '/' both separate segments.
inline bool IsPathSeparator(char c) { return c == '\\' || c == '/'; }

// Counts the dots of a segment [begin, end) made of dots and blanks only; -1 for any other segment.
// Win32 path normalisation drops trailing dots and blanks of a segment, so such a segment acts like "."
// (one dot) or ".." (two or more), and one of blanks only like nothing at all.
int DotsOfDotsOnlySegment(const char* begin, const char* end);

// A segment that moves through the tree: "." or ".." in any of the forms Windows reduces to them.
inline bool IsDotsSegment(const char* begin, const char* end) { return DotsOfDotsOnlySegment(begin, end) >= 1; }

// True when a path holds a segment that climbs out of the folder it is appended to: "..", and also the
// forms Windows reduces to it (a segment of only dots and blanks with at least two dots, e.g. ".. " or
// "..."). Both '\' and '/' separate segments. (Description source and target paths, fonts, uninstall.)
bool ContainsParentSegment(const char* path);
