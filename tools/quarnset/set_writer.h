// Writes a set that passed the rules as the server tree the installer downloads:
//   OUTDIR/Update.ini                                 the probe file with its two marker lines
//   OUTDIR/KelvaranDemo/Disc_NN/Fajls_N.ini           one file list per disc
//   OUTDIR/KelvaranDemo/Disc_01/Install.ini           the description
//   OUTDIR/KelvaranDemo/Disc_01/Sign.ini              hashes of Install.ini and the lists, and the signature
//   OUTDIR/KelvaranDemo/Disc_NN/<stored name>         the files; names holding "ex_" or "dl_" with filler bytes
// Every text file has CR LF line ends and code page 1250 text. Every file list ends with a section
// [Hashes]: the size and SHA-256 of every file's staged content (layout/set_hashes.h).
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "set_model.h"
#include "layout/mirror_list.h"
#include "layout/set_hashes.h"

namespace quarnset {

using Progress = std::function<void(const std::string&)>;

std::string DescriptionText(const SetModel& set);
std::string FileListText(const Disc& disc);  // without its [Hashes] section
std::string HashSectionText(const std::vector<HashEntry>& entries);
std::string SignFileText(const std::vector<HashEntry>& descriptions);  // the signed part of Sign.ini
std::string SignatureSectionText(const unsigned char signature[kSignatureSize]);
HashEntry HashOf(const std::string& name, const std::string& bytes);
std::string ProbeText();
// Interleaves one filler byte before each content byte; `offset` is the content's position in its file,
// so that chunks of any length give the same bytes as the whole file at once.
std::string AddFillerBytes(const std::string& content, uint64_t offset);

// Writes the tree into outDir, replacing an earlier set there (a folder holding only Update.ini and
// KelvaranDemo). Writes into a sibling folder first, so a failed build leaves the earlier set untouched.
// With signKeyFile, Sign.ini carries the set's identity (Folder, CadSystem and Version from the set, the
// sequence and expiry date of `identity`) and is signed with that private key. With mirrors, Sign.ini
// lists them in its signed part ([Mirrors], layout/mirror_list.h). Returns false with *error set on failure.
bool WriteSetTree(const SetModel& set, const std::string& outDir, const Progress& progress, std::string* error,
                  const std::string& signKeyFile = "", const SetIdentity* identity = nullptr,
                  const std::vector<MirrorUrl>& mirrors = {});
// The Sequence of a signed set already written in outDir, or false when there is none (or it is unreadable).
bool ExistingSetSequence(const std::string& outDir, uint64_t* sequence);

}  // namespace quarnset
