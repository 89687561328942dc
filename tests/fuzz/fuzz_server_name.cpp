// Server-name forming from a file line value, the safety check, and the URL/staging path built from it.
// A name judged safe never leaves its disc folder in the staging path.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "fuzz_common.h"
#include "layout/server_layout.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string line = TakeField(data, size);
  char name[256];
  if (!FormServerName(line.c_str(), name, sizeof name)) return 0;
  if (!IsSafeServerName(name)) return 0;
  // A safe name: no "..", no drive, no leading separator.
  if (name[0] == '\\' || name[0] == '/' || strchr(name, ':')) __builtin_trap();
  std::string n(name);
  for (size_t p = 0; (p = n.find("..", p)) != std::string::npos; ++p) {
    bool startsComponent = p == 0 || n[p - 1] == '\\';
    size_t e = p;
    while (e < n.size() && (n[e] == '.' || n[e] == ' ')) ++e;
    if (startsComponent && (e == n.size() || n[e] == '\\')) __builtin_trap();
  }
  char url[256], path[256];
  FormServerUrl("https://localhost:1/Download/UpDate-V9.20", "Disc_01", name, url, sizeof url);
  if (FormStagingPath("C:\\V92Demo\\QuarnWin32\\Install\\", "Disc_01", name, path, sizeof path)) {
    if (strncmp(path, "C:\\V92Demo\\QuarnWin32\\Install\\Disc_01\\", 38) != 0) __builtin_trap();
  }
  return 0;
}
