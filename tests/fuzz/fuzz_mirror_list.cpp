// The mirror list reader over arbitrary text (Sign.ini's [Mirrors]). Never reads outside the text; a list
// read is never longer than the limit, holds only URLs that pass the URL rules, none twice, each already
// in its normal form; the list written back by FormatMirrorSection reads the same; the signed reader never
// finds more than the reader over the whole text would.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "layout/mirror_list.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // An exact-size heap copy: ASan catches any read past the end of the text.
  std::vector<char> text(data, data + size);
  std::vector<MirrorUrl> mirrors;
  const MirrorData result = ReadMirrorSection(text.data(), text.size(), &mirrors);
  if (result != MirrorData::kPresent && !mirrors.empty()) __builtin_trap();
  if (mirrors.size() > kMaxMirrors) __builtin_trap();
  for (size_t i = 0; i < mirrors.size(); ++i) {
    MirrorUrl again;
    if (CheckMirrorUrl(mirrors[i].url.data(), mirrors[i].url.size(), &again) != MirrorUrlProblem::kNone) __builtin_trap();
    if (again.url != mirrors[i].url || again.https != mirrors[i].https) __builtin_trap();
    for (size_t j = 0; j < i; ++j) {
      if (mirrors[j].url == mirrors[i].url) __builtin_trap();
    }
  }
  if (result == MirrorData::kPresent) {
    const std::string written = FormatMirrorSection(mirrors);
    std::vector<MirrorUrl> back;
    const MirrorData reread = ReadMirrorSection(written.data(), written.size(), &back);
    if (mirrors.empty() ? reread != MirrorData::kAbsent : reread != MirrorData::kPresent) __builtin_trap();
    if (back.size() != mirrors.size()) __builtin_trap();
    for (size_t i = 0; i < back.size(); ++i) {
      if (back[i].url != mirrors[i].url) __builtin_trap();
    }
  }
  std::vector<MirrorUrl> signedList;
  ReadSignedMirrorList(text.data(), text.size(), &signedList);
  if (signedList.size() > kMaxMirrors) __builtin_trap();
  return 0;
}
