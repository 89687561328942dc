// A model of the platform's profile-string reader (GetPrivateProfileStringA), which the installation steps
// use on the staged Install.ini and Fajls_N.ini. The download reads the same files with the installer's own
// lookup (installer_rules.h); a set is sound only where both give the same value, so `check` compares them.
#pragma once

#include <string>

namespace quarnset {

// Returns false when the section or key is absent. Matching of section and key names is exact but
// case-insensitive; blanks around names and values are trimmed; a value enclosed in matching quotes loses
// them; lines end with CR LF, LF or CR; lines beginning with ';' are comments; a key line without '=' has no
// value (reads as absent); the value is cut to 255 bytes, the reader's buffer.
bool ProfileLookup(const std::string& text, const std::string& section, const std::string& key,
                   std::string* value);

}  // namespace quarnset
