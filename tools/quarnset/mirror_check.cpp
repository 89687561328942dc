#include "mirror_check.h"

#include <vector>

#include "crypto.h"
#include "installer_rules.h"
#include "layout/mirror_list.h"
#include "layout/set_hashes.h"
#include "set_model.h"
#include "text_util.h"
#include "web/filler.h"

namespace quarnset {
namespace {

struct Wanted {
  int disc;
  HashEntry entry;
};

// "Fajls_N.ini" -> N (1 to 15), else 0.
int DiscOfList(const std::string& name) {
  for (int disc = 1; disc <= 15; ++disc)
    if (name == FileListName(disc)) return disc;
  return 0;
}

// What the installer may ask of a mirror, from the origin: Install.ini (from Sign.ini) and every file of
// every list's [Hashes].
std::vector<Wanted> WantedFiles(Fetcher& origin, const std::vector<HashEntry>& descriptions, Findings* findings) {
  std::vector<Wanted> wanted;
  for (const HashEntry& d : descriptions) {
    if (d.name == kDescriptionFile) {
      wanted.push_back({1, d});
      continue;
    }
    const int disc = DiscOfList(d.name);
    if (disc == 0) continue;
    const FetchResult list = origin.Fetch(SetFilePath(disc, d.name), true);
    if (!AcceptedByInstaller(list) || list.received != list.length) {
      findings->Error({origin.Name(SetFilePath(disc, d.name)), 0}, "cannot be read from the origin: its files are not compared");
      continue;
    }
    std::vector<HashEntry> files;
    if (ReadHashSection(list.body.data(), list.body.size(), &files) != HashData::kPresent) continue;
    for (const HashEntry& f : files) wanted.push_back({disc, f});
  }
  return wanted;
}

}  // namespace

void CheckMirrors(Fetcher& origin, const HttpOptions& http, Findings* findings,
                  const std::function<void(const std::string&)>& progress) {
  const std::string signName = origin.Name(SetFilePath(1, kSignFileName));
  const FetchResult sign = origin.Fetch(SetFilePath(1, kSignFileName), true);
  if (!AcceptedByInstaller(sign) || sign.received != sign.length || sign.tooLarge) {
    findings->Error({signName, 0}, "cannot be read: the mirror list is not known");
    return;
  }
  std::vector<MirrorUrl> mirrors;
  std::string problem;
  const MirrorData data = ReadSignedMirrorList(sign.body.data(), sign.body.size(), &mirrors, &problem);
  if (data == MirrorData::kMalformed) {
    findings->Error({signName, 0}, problem + ": the installer uses no mirror of this set");
    return;
  }
  if (data == MirrorData::kAbsent || mirrors.empty()) {
    findings->Warning({signName, 0}, "lists no mirrors ([Mirrors] in the signed part): every file comes from the origin");
    return;
  }
  size_t signedSize = 0;
  unsigned char signature[kSignatureSize];
  ReadSignature(sign.body.data(), sign.body.size(), &signedSize, signature);
  std::vector<HashEntry> descriptions;
  if (ReadHashSection(sign.body.data(), signedSize, &descriptions) != HashData::kPresent) {
    findings->Error({signName, 0}, "has no readable [Hashes]: the installer uses no mirror of this set");
    return;
  }
  const std::vector<Wanted> wanted = WantedFiles(origin, descriptions, findings);
  for (size_t m = 0; m < mirrors.size(); ++m) {
    const std::string label = "mirror " + std::to_string(m + 1) + " " + mirrors[m].url;
    if (progress) progress("checking " + label + " (" + std::to_string(wanted.size()) + " files)");
    std::string error;
    std::unique_ptr<Fetcher> mirror = MakeHttpFetcher(mirrors[m].url, http, &error);
    if (!mirror) {
      findings->Error({label, 0}, error);
      continue;
    }
    int missing = 0, different = 0;
    bool unreachable = false;
    for (const Wanted& w : wanted) {
      const std::string rel = SetFilePath(w.disc, w.entry.name);
      const bool filler = installer::IsFillerName(w.entry.name);
      FillerDecoder decoder;
      Sha256 hash;
      uint64_t content = 0;
      std::vector<char> decoded;
      const FetchResult r = mirror->Fetch(rel, false, [&](const char* data, size_t n) {
        if (filler) {
          decoded.resize(n);
          n = decoder.Decode(data, n, decoded.data());
          data = decoded.data();
        }
        hash.Update(data, n);
        content += n;
      });
      const Where at{mirror->Name(rel), 0};
      if (!r.reached && r.received == 0) {
        // A mirror that cannot be reached at all is reported once, not for each of its files.
        findings->Error({label, 0}, "unreachable: " + r.transportError);
        unreachable = true;
        break;
      }
      if (!AcceptedByInstaller(r)) {
        ++missing;
        findings->Error(at, "missing on the mirror (status " + std::to_string(r.status) +
                                (r.hasLength ? "" : ", no Content-Length") + ")");
        continue;
      }
      unsigned char digest[kSha256Size];
      hash.Finish(digest);
      std::string diff = r.received != r.length ? "cut after " + std::to_string(r.received) + " of " +
                                                      std::to_string(r.length) + " bytes"
                                                : DescribeHashMismatch(w.entry, content, digest);
      if (!diff.empty()) {
        ++different;
        findings->Error(at, "different on the mirror: " + diff);
      }
    }
    if (!unreachable && progress)
      progress(label + ": " + std::to_string(wanted.size()) + " files, " + std::to_string(missing) + " missing, " +
               std::to_string(different) + " different");
  }
}

}  // namespace quarnset
