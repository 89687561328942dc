// Text conversion between the UTF-8 of the manifest and the code page 1250 bytes the installer reads.
#pragma once

#include <string>

namespace quarnset {

// Converts UTF-8 text to code page 1250. Returns false when the text is not valid UTF-8 or holds a
// character code page 1250 cannot represent; *badOffset then holds the byte offset of the culprit.
bool Utf8ToCp1250(const std::string& utf8, std::string* out, size_t* badOffset);

// Converts code page 1250 bytes to UTF-8 for display. Bytes that code page 1250 leaves undefined are shown
// as "\xNN".
std::string Cp1250ToUtf8(const std::string& bytes);

}  // namespace quarnset
