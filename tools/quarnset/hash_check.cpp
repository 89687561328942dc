#include "hash_check.h"

#include <ctime>
#include <set>
#include <vector>

#include "crypto.h"
#include "installer_rules.h"
#include "text_util.h"
#include "web/ini_lookup.h"
#include "layout/mirror_list.h"
#include "layout/set_hashes.h"

namespace quarnset {
namespace {

// A description file (Install.ini, a list) against its Sign.ini entry.
void CheckDescription(const std::vector<HashEntry>& entries, const std::string& name, const std::string& body,
                      const Where& at, const Where& signAt, Findings* findings) {
  const HashEntry* e = FindHashEntry(entries, name.c_str());
  if (!e) {
    findings->Error(signAt, "has no hash for " + name + ": the installer refuses the set");
    return;
  }
  unsigned char digest[kSha256Size];
  Sha256Of(body, digest);
  const std::string diff = DescribeHashMismatch(*e, body.size(), digest);
  if (!diff.empty()) findings->Error(at, "does not match its hash in Sign.ini (" + diff + "): the installer refuses the set");
}

// The signed identity against the set as served: its folder, Install.ini's [System], and its dates.
void CheckIdentity(const std::string& signedPart, const SetModel& set, const std::string& signName,
                   const std::string& descriptionName, Findings* findings) {
  SetIdentity id;
  std::string problem;
  const IdentityData data = ReadSetIdentity(signedPart.data(), signedPart.size(), &id, &problem);
  if (data == IdentityData::kAbsent) {
    findings->Error({signName, 0}, "has no [Identity] section (signed by an older quarnset?): an installer built with the key refuses the set");
    return;
  }
  if (data == IdentityData::kMalformed) {
    findings->Error({signName, 0}, problem + ": an installer built with the key refuses the set");
    return;
  }
  if (id.folder != kSetFolder)
    findings->Error({signName, 0}, "[Identity] Folder is " + Quote(id.folder) + ", the set is served from " +
                                       Quote(kSetFolder) + ": the installer refuses the set");
  const struct {
    const char* key;
    const std::string& value;
  } fields[] = {{"CadSystem", id.cadSystem}, {"Version", id.version}};
  for (const auto& f : fields) {
    char value[256];
    FindIniValue("System", f.key, value, sizeof value, set.descriptionText.data(), static_cast<int>(set.descriptionText.size()));
    if (f.value != value)
      findings->Error({signName, 0}, std::string("[Identity] ") + f.key + " is " + Quote(f.value) + ", " + descriptionName +
                                         " [System] says " + Quote(value) + ": the installer refuses the set");
  }
  const int64_t today = static_cast<int64_t>(time(nullptr)) / 86400;
  const int64_t expires = DayNumber(id.expiresYear, id.expiresMonth, id.expiresDay);
  const std::string date = FormatUtcDate(id.expiresYear, id.expiresMonth, id.expiresDay);
  if (today > expires) {
    findings->Error({signName, 0}, std::string(kExpiredFinding) + date + " (" + std::to_string(today - expires) +
                                       " day(s) ago): the installer refuses the set; publish it again");
  } else if (expires - today < 30) {
    findings->Warning({signName, 0}, "[Identity] expires on " + date + ", in " + std::to_string(expires - today) +
                                         " day(s): publish the set again before then");
  }
}

}  // namespace

const char kExpiredFinding[] = "[Identity] expired on ";

void CheckSetHashes(Fetcher& fetcher, const SetModel& set, const std::string& publicKeyFile, Findings* findings) {
  if (!HaveCrypto()) {
    findings->Error({fetcher.Name(SetFilePath(1, kSignFileName)), 0}, "this build of quarnset cannot hash: the hash data is not checked");
    return;
  }
  // Sign.ini: the hashes of the descriptions, and the signature.
  const std::string signName = fetcher.Name(SetFilePath(1, kSignFileName));
  const FetchResult sign = fetcher.Fetch(SetFilePath(1, kSignFileName), true);
  const bool signFound = AcceptedByInstaller(sign) && sign.received == sign.length && !sign.tooLarge;
  bool anyListHashes = false;
  if (signFound) {
    size_t signedSize = 0;
    unsigned char signature[kSignatureSize];
    const SignatureData sig = ReadSignature(sign.body.data(), sign.body.size(), &signedSize, signature);
    std::vector<HashEntry> entries;
    int bad = 0;
    const HashData hashes = ReadHashSection(sign.body.data(), signedSize, &entries, &bad);
    if (hashes == HashData::kMalformed) {
      findings->Error({signName, bad}, "is not a hash line (NAME=SIZE SHA256, names once each): the installer refuses the set");
    } else if (hashes == HashData::kAbsent) {
      findings->Error({signName, 0}, "has no [Hashes] section before [Signature]: the installer refuses the set");
    } else {
      CheckDescription(entries, kDescriptionFile, set.descriptionText, {fetcher.Name(SetFilePath(1, kDescriptionFile)), 0}, {signName, 0},
                       findings);
      std::set<std::string> expected{kDescriptionFile};
      for (const Disc& d : set.discs) {
        if (!d.hasList) continue;
        expected.insert(FileListName(d.number));
        CheckDescription(entries, FileListName(d.number), d.listText, {fetcher.Name(SetFilePath(d.number, FileListName(d.number))), 0},
                         {signName, 0}, findings);
      }
      for (const HashEntry& e : entries)
        if (!expected.count(e.name))
          findings->Error({signName, 0}, "names " + Quote(e.name) + ", which is not a description file of the set as served (" +
                                             set.setEndReason + "): the installer refuses the set");
    }
    // The mirror list: read as the installer reads it, from the signed part only.
    std::vector<MirrorUrl> mirrors;
    std::string problem;
    if (ReadSignedMirrorList(sign.body.data(), sign.body.size(), &mirrors, &problem) == MirrorData::kMalformed) {
      findings->Error({signName, 0}, problem + ": the installer uses no mirror of this set");
    } else if (ReadMirrorSection(sign.body.data() + signedSize, sign.body.size() - signedSize, &mirrors) !=
               MirrorData::kAbsent) {
      findings->Warning({signName, 0}, "has a [Mirrors] section after [Signature], which the signature does not cover: "
                                       "the installer never reads it");
    }
    if (!publicKeyFile.empty()) {
      if (sig == SignatureData::kAbsent) {
        findings->Error({signName, 0}, "is not signed (no [Signature] section): an installer built with the key refuses the set");
      } else if (sig == SignatureData::kMalformed) {
        findings->Error({signName, 0}, "has a [Signature] section without a line ECDSA-P256-SHA256=<128 hex digits>: the installer refuses the set");
      } else {
        bool good = false;
        std::string error;
        if (!VerifyWithPublicKeyFile(publicKeyFile, sign.body.substr(0, signedSize), signature, &good, &error))
          findings->Error({publicKeyFile, 0}, error);
        else if (!good)
          findings->Error({signName, 0}, "the signature does not hold for the key " + publicKeyFile +
                                             " (signed by another key, or the hashes were changed after signing): the installer refuses the set");
      }
      CheckIdentity(sign.body.substr(0, signedSize), set, signName, fetcher.Name(SetFilePath(1, kDescriptionFile)), findings);
    }
  } else if (!publicKeyFile.empty()) {
    findings->Error({signName, 0}, "is missing (" + (sign.reached ? "status " + std::to_string(sign.status) : sign.transportError) +
                                       "): the set is not signed, an installer built with the key refuses it");
  }
  // Every list's [Hashes] against the files as they arrived.
  for (const Disc& d : set.discs) {
    if (!d.hasList) continue;
    const std::string listName = fetcher.Name(SetFilePath(d.number, FileListName(d.number)));
    std::vector<HashEntry> entries;
    int bad = 0;
    const HashData hashes = ReadHashSection(d.listText.data(), d.listText.size(), &entries, &bad);
    if (hashes == HashData::kMalformed) {
      findings->Error({listName, bad}, "is not a hash line (NAME=SIZE SHA256, names once each): the installer refuses every file of the disc");
      continue;
    }
    if (hashes == HashData::kAbsent) {
      if (signFound) findings->Error({listName, 0}, "has no [Hashes] section: its files cannot be verified");
      continue;
    }
    anyListHashes = true;
    std::set<std::string> used;
    for (const FileItem& f : d.files) {
      // Files of parts without a size on their disc, and sample projects, are never fetched by the download.
      if (f.part == kProjectsPart || !d.described || !d.sizes[f.part].present) continue;
      const std::string server = installer::ServerNameOf(f.line);
      if (server.empty() || used.count(server)) continue;
      used.insert(server);
      const HashEntry* e = FindHashEntry(entries, server.c_str());
      const Where at{fetcher.Name(SetFilePath(d.number, server)), 0};
      if (!e) {
        findings->Error({listName, f.at.line}, "[Hashes] has no line for " + Quote(server) + ": the installer refuses the file as damaged");
        continue;
      }
      if (f.contentSha256.size() != kSha256Size) continue;  // did not arrive whole: reported by the reader
      const std::string diff = DescribeHashMismatch(*e, static_cast<uint64_t>(f.contentSize),
                                                    reinterpret_cast<const unsigned char*>(f.contentSha256.data()));
      if (!diff.empty()) findings->Error(at, "damaged: its staged content has " + diff + " (" + FileListName(d.number) + ")");
    }
    for (const HashEntry& e : entries)
      if (!used.count(e.name))
        findings->Warning({listName, 0}, "[Hashes] names " + Quote(e.name) + ", which the download never fetches");
  }
  if (!signFound && anyListHashes)
    findings->Warning({signName, 0}, "is missing: the file lists carry hashes, but Install.ini and the lists themselves are not verified");
}

}  // namespace quarnset
