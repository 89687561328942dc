// Where things lie on the maker's server and in the staging folder: hosts, URLs, staging paths and the
// names of the set's files. Pure text functions; every result goes into a caller buffer and every
// builder says whether the whole text fit (a cut URL or path would name a different file).
#pragma once
#include <cstddef>

#include "layout/install_layout.h"

// The server directory below each host's root, and the set's folder below it.
extern const char kHttpsDirectory[];  // "Download/UpDate-V9.20"
extern const char kHttpDirectory[];   // "UpDate-V9.20"
extern const char kSetFolder[];       // "KelvaranDemo"

// A configured host is "name" or "name:port" (an IPv6 literal in brackets may carry a port too).
// Splits it into the name for the connection and the port; defaultPort when none is written.
// Returns false when the name does not fit or the port is not a number from 1 to 65535.
bool SplitHost(const char* host, char* name, size_t nameSize, int* port, int defaultPort);

// "https://" + host + "/Download/UpDate-V9.20" or "http://" + host + "/UpDate-V9.20" (no trailing
// slash). The host is used as configured, port included.
bool FormUpdateDirectoryUrl(bool https, const char* host, char* url, size_t urlSize);

// updateDirectoryUrl + "/KelvaranDemo/" + discFolder + "/" + fileName. Backslashes of a file name in a
// subfolder become "/" and bytes that cannot stand in a URL path are percent-escaped, so that a web
// server finds the file the name means.
bool FormServerUrl(const char* updateDirectoryUrl, const char* discFolder, const char* fileName,
                   char* url, size_t urlSize);

// "Disc_%02i" of a disc number, and the names of the set's description files.
void FormDiscFolder(int disc, char* folder, size_t folderSize);   // Disc_01 ... Disc_15
void FormDiscSection(int disc, char* section, size_t sectionSize);  // Disc01 ... Disc15
void FormFileListName(int disc, char* name, size_t nameSize);    // Fajls_1.ini ... Fajls_15.ini

// The server name of a file line value: leading blanks skipped, then one backslash dropped, then up to
// the first blank, comma or the end. Returns false when it does not fit.
bool FormServerName(const char* fileLine, char* name, size_t nameSize);

// The staging paths and IsSafeServerName are in layout/install_layout.h with every other path rule.

// Files stored with a filler byte before every content byte: the name holds "ex_" or "dl_".
bool IsFillerName(const char* name);
