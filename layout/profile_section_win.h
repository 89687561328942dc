// One whole section of a profile (INI) file read through the platform, for ProfileSection.
#pragma once
#include <cstddef>
#include <vector>

// The section's entries as GetPrivateProfileSectionA gives them (each NUL-terminated, an empty entry
// last). The buffer grows until the section fits, up to maxBytes; false when it does not fit then (the
// caller falls back to per-key reads). A missing file or section gives an empty list and true, as the
// per-key reader then answers every key with its default.
bool ReadProfileSection(const char* file, const char* section, std::vector<char>* entries,
                        size_t maxBytes = 64u << 20);
