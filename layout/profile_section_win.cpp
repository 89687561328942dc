#include "layout/profile_section_win.h"

#include <windows.h>

#include <algorithm>

bool ReadProfileSection(const char* file, const char* section, std::vector<char>* entries, size_t maxBytes) {
  // The entries are never longer than the file (blanks trimmed, line ends become one NUL each), so a
  // buffer of the file's size plus the closing NULs is read in one call.
  size_t size = 4096;
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (GetFileAttributesExA(file, GetFileExInfoStandard, &data) && data.nFileSizeHigh == 0 &&
      data.nFileSizeLow < maxBytes) {
    size = std::max<size_t>(size, data.nFileSizeLow + 16);
  }
  for (;;) {
    entries->assign(size, '\0');
    const DWORD got = GetPrivateProfileSectionA(section, entries->data(), static_cast<DWORD>(size), file);
    // size - 2 is the platform's answer for a section cut to the buffer: try a larger one.
    if (got < size - 2) {
      entries->resize(got + 1);  // the entries and the closing empty entry
      entries->shrink_to_fit();
      return true;
    }
    if (size >= maxBytes) return false;
    size *= 2;
  }
}
