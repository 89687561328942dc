#include "set_reader.h"

#include <algorithm>
#include <map>
#include <set>

#include "crypto.h"
#include "hash_check.h"
#include "ini_scan.h"
#include "installer_rules.h"
#include "set_rules.h"
#include "text_util.h"

namespace quarnset {
namespace {

// Reports what the installer would make of one request; returns whether it gets the whole file.
bool ReportFetch(const FetchResult& r, const Where& at, const std::string& consequence, Findings* findings) {
  if (!r.reached) {
    findings->Error(at, "cannot be fetched (" + r.transportError + "): " + consequence);
    return false;
  }
  if (!r.redirectedTo.empty())
    findings->Warning(at, "answered with a redirect to " + r.redirectedTo + " (the installer follows it)");
  if (r.status != 200) {
    findings->Error(at, "status " + std::to_string(r.status) + ": the installer takes the file as missing; " + consequence);
    return false;
  }
  if (!r.hasLength) {
    findings->Error(at, "no Content-Length (chunked or close-delimited answer): the installer takes the file as missing; " + consequence);
    return false;
  }
  if (r.length == 0) {
    findings->Error(at, "Content-Length 0: the installer takes the file as missing; " + consequence);
    return false;
  }
  if (r.tooLarge) {
    findings->Error(at, "announces " + std::to_string(r.length) + " bytes: the installer reads description files whole and refuses any above " +
                            std::to_string(kMaxWholeFile) + " bytes; " + consequence);
    return false;
  }
  if (!r.contentEncoding.empty())
    findings->Error(at, "sent with Content-Encoding " + r.contentEncoding + ": the installer stores the encoded bytes as they are");
  if (r.received != r.length) {
    findings->Error(at, "the body ends after " + std::to_string(r.received) + " of " + std::to_string(r.length) +
                            " announced bytes" + (r.transportError.empty() ? "" : " (" + r.transportError + ")") +
                            ": the installer's read fails; " + consequence);
    return false;
  }
  return true;
}

std::optional<Value> Lookup(const std::string& text, const IniScan& scan, const std::string& file,
                            const std::string& section, const std::string& key) {
  std::string v;
  if (!installer::ServerLookup(text, section, key, &v)) return std::nullopt;
  const int line = scan.LineOf(section, key);
  const IniSection* s = scan.Find(section);
  return Value{v, Where{file, line ? line : (s ? s->line : 0)}};
}

bool Absent(const std::optional<Value>& v, bool emptyEnds) {
  return !v || (!v->text.empty() && v->text[0] == '*') || (emptyEnds && v->text.empty());
}

void ReadDescription(const std::string& text, const IniScan& scan, const std::string& file, SetModel* set) {
  set->root = Lookup(text, scan, file, "System", "RootDirectory");
  set->cadSystem = Lookup(text, scan, file, "System", "CadSystem");
  set->subSystem = Lookup(text, scan, file, "System", "SubSystem");
  set->version = Lookup(text, scan, file, "System", "Version");
  // Values beginning with '*' count as absent; RootDirectory is kept so that the value rule names the cause.
  for (auto* v : {&set->cadSystem, &set->subSystem, &set->version})
    if (Absent(*v, false)) v->reset();
  for (int n = 1;; ++n) {
    auto d = Lookup(text, scan, file, "Directorys", "Dir" + std::to_string(n));
    if (Absent(d, false)) break;
    set->dirs.push_back(*d);
  }
  for (int n = 1;; ++n) {
    const std::string k = std::to_string(n);
    auto f = Lookup(text, scan, file, "FontsCommand", "FontFile" + k);
    auto m = Lookup(text, scan, file, "FontsCommand", "FontName" + k);
    if (Absent(f, true) || Absent(m, true)) break;
    set->fonts.push_back(FontItem{*f, *m});
  }
  for (int n = 1;; ++n) {
    const std::string k = std::to_string(n);
    auto t = Lookup(text, scan, file, "RegistryCommand", "FileType" + k);
    auto c = Lookup(text, scan, file, "RegistryCommand", "ClassName" + k);
    if (Absent(t, true) || Absent(c, true)) break;
    TypeItem item{*t, *c, std::nullopt, std::nullopt};
    auto e = Lookup(text, scan, file, "RegistryCommand", "ExeFile" + k);
    auto i = Lookup(text, scan, file, "RegistryCommand", "IconFile" + k);
    if (!Absent(e, true)) item.exe = e;
    if (!Absent(i, true)) item.icon = i;
    set->types.push_back(item);
  }
  for (int n = 1;; ++n) {
    auto c = Lookup(text, scan, file, "Command", "Command" + std::to_string(n));
    if (Absent(c, false)) break;
    set->commands.push_back(*c);
  }
  for (int d = 1; d <= kMaxDiscs; ++d) {
    std::string unused;
    const std::string section = DiscSectionName(d);
    if (!installer::ServerLookup(text, section, "", &unused)) continue;
    Disc disc;
    disc.number = d;
    disc.described = true;
    const IniSection* s = scan.Find(section);
    disc.at = Where{file, s ? s->line : 0};
    disc.listAt = disc.at;
    disc.label = Lookup(text, scan, file, section, "Name");
    if (Absent(disc.label, false)) disc.label.reset();
    for (int p = 0; p < kPartCount; ++p) {
      auto size = Lookup(text, scan, file, section, kPartNames[p]);
      if (Absent(size, false)) continue;
      disc.sizes[p].present = true;
      disc.sizes[p].text = size->text;
      disc.sizes[p].bytes = installer::ParseNumber(size->text);
      disc.sizes[p].at = size->at;
    }
    set->discs.push_back(disc);
  }
}

void ReadFileList(const std::string& text, const IniScan& scan, const std::string& file, Disc* disc) {
  disc->hasList = true;
  disc->listAt = Where{file, 0};
  disc->listLabel = Lookup(text, scan, file, "Disc", "Name");
  if (Absent(disc->listLabel, false)) disc->listLabel.reset();
  for (int p = 0; p < kPartCount; ++p) {
    for (int n = 1;; ++n) {
      auto line = Lookup(text, scan, file, kPartNames[p], "File" + std::to_string(n));
      if (Absent(line, false)) break;
      FileItem f;
      f.part = p;
      f.line = line->text;
      f.at = line->at;
      disc->files.push_back(f);
    }
  }
}

std::string ProbeDiagnosis(const std::string& text) {
  const std::string first = "QuarnCAD WEB update system: V9.21";
  const std::string second = "QuarnSoft Ltd. 1992-2019.";
  const size_t a = text.find(first), b = text.find(second);
  if (a == std::string::npos) return "it has no line beginning with \"" + first + "\"";
  if (b == std::string::npos) return "it has no line beginning with \"" + second + "\"";
  if (b < a) return "the line \"" + second + "...\" must come after \"" + first + "...\"";
  if (text.find("\r\n", b) == std::string::npos) return "the marker lines must end with CR LF";
  return "its marker lines do not begin in the first column or are not ended by CR LF";
}

}  // namespace

bool ReadPublishedSet(Fetcher& fetcher, SetModel* set, Findings* findings, const Progress& progress) {
  *set = SetModel{};
  set->fromTree = true;
  // The probe.
  {
    const std::string name = fetcher.Name(kProbeFile);
    const FetchResult r = fetcher.Fetch(kProbeFile, true);
    if (ReportFetch(r, {name, 0}, "the installer does not accept this host", findings) && !installer::ProbeAccepts(r.body))
      findings->Error({name, 0}, "the installer does not accept this host: " + ProbeDiagnosis(r.body));
  }
  // The description.
  const std::string descRel = std::string(kSetFolder) + "/" + DiscFolderName(1) + "/" + kDescriptionFile;
  const std::string descName = fetcher.Name(descRel);
  set->descriptionAt = Where{descName, 0};
  const FetchResult desc = fetcher.Fetch(descRel, true);
  if (!ReportFetch(desc, {descName, 0}, "the installer stops before downloading anything", findings)) return false;
  const IniScan descScan = ScanIni(desc.body, descName, findings);
  CheckIniKeys(desc.body, descScan, IniKind::Description, descName, findings);
  ReadDescription(desc.body, descScan, descName, set);
  set->descriptionText = desc.body;
  // The file lists, until the first one the installer does not accept: that is where the set ends.
  set->setEnd = kMaxDiscs + 1;
  for (int d = 1; d <= kMaxDiscs; ++d) {
    const std::string rel = std::string(kSetFolder) + "/" + DiscFolderName(d) + "/" + FileListName(d);
    const std::string name = fetcher.Name(rel);
    const FetchResult r = fetcher.Fetch(rel, true);
    if (!AcceptedByInstaller(r) || r.received != r.length) {
      set->setEnd = d;
      if (!r.reached) set->setEndReason = FileListName(d) + " cannot be fetched: " + r.transportError;
      else if (r.status != 200) set->setEndReason = FileListName(d) + " answers status " + std::to_string(r.status);
      else if (!r.hasLength) set->setEndReason = FileListName(d) + " comes without Content-Length";
      else if (r.length == 0) set->setEndReason = FileListName(d) + " has Content-Length 0";
      else set->setEndReason = FileListName(d) + " breaks off after " + std::to_string(r.received) + " of " + std::to_string(r.length) + " bytes";
      if (d == 1 || (r.reached && r.status == 200)) ReportFetch(r, {name, 0}, "the download ends here", findings);
      if (d == 1 && !set->FindDisc(1)) findings->Error({name, 0}, "disc 1 has no file list");
      break;
    }
    Disc* disc = set->FindDisc(d);
    if (!disc) {
      Disc fresh;
      fresh.number = d;
      fresh.at = Where{name, 0};
      set->discs.push_back(fresh);
      std::sort(set->discs.begin(), set->discs.end(), [](const Disc& a, const Disc& b) { return a.number < b.number; });
      disc = set->FindDisc(d);
    }
    const IniScan scan = ScanIni(r.body, name, findings);
    CheckIniKeys(r.body, scan, IniKind::FileList, name, findings);
    ReadFileList(r.body, scan, name, disc);
    disc->listText = r.body;
  }
  for (int d : fetcher.DiscFoldersFrom(set->setEnd + 1))
    findings->Warning({fetcher.Name(std::string(kSetFolder) + "/" + DiscFolderName(d)), 0},
                      "this disc folder lies past the end of the set (" + set->setEndReason + "): the installer never fetches it");
  // The files, as the download asks for them.
  int total = 0, done = 0;
  for (const Disc& d : set->discs) total += static_cast<int>(d.files.size());
  for (Disc& d : set->discs) {
    std::map<std::string, std::pair<int64_t, bool>> seen;  // name -> content size, fetched whole
    for (FileItem& f : d.files) {
      ++done;
      const std::string server = installer::ServerNameOf(f.line);
      std::string why;
      if (server.empty() || !IsSafeRelativePath("\\" + server, &why)) continue;  // the set rules report it
      auto it = seen.find(server);
      if (it != seen.end()) {
        f.contentSize = it->second.first;
        for (const FileItem& g : d.files)
          if (&g != &f && !g.contentSha256.empty() && installer::ServerNameOf(g.line) == server) f.contentSha256 = g.contentSha256;
        continue;
      }
      std::string rel = std::string(kSetFolder) + "/" + DiscFolderName(d.number) + "/" + server;
      for (auto& c : rel)
        if (c == '\\') c = '/';
      f.local = fetcher.Name(rel);
      // The staged content is hashed as it arrives, as the installer hashes it.
      const bool filler = installer::IsFillerName(server);
      Sha256 sha;
      bool odd = false;  // the next stored byte is a content byte (filler files)
      const FetchResult r = fetcher.Fetch(rel, false, [&](const char* data, size_t n) {
        if (!filler) {
          sha.Update(data, n);
          return;
        }
        std::string kept;
        kept.reserve(n / 2 + 1);
        for (size_t i = 0; i < n; ++i, odd = !odd)
          if (odd) kept.push_back(data[i]);
        sha.Update(kept.data(), kept.size());
      });
      const Where at{f.local, 0};
      const bool whole = ReportFetch(r, {f.at.file, f.at.line},
                                     "the file " + Quote(server) + " (" + f.local + ") is not staged and the download stops there", findings);
      int64_t size = -1;
      if (whole) {
        if (installer::IsFillerName(server)) {
          if (r.received % 2 != 0)
            findings->Error(at, "is stored with filler bytes (its name holds \"ex_\" or \"dl_\") but has an odd length: its last byte is lost");
          size = r.received / 2;
        } else {
          size = r.received;
        }
      }
      f.contentSize = size;
      if (whole) {
        unsigned char digest[kSha256Size];
        sha.Finish(digest);
        f.contentSha256.assign(reinterpret_cast<const char*>(digest), kSha256Size);
      }
      seen[server] = {size, whole};
      if (progress && (done % 25 == 0 || done == total))
        progress("checked " + std::to_string(done) + "/" + std::to_string(total) + " files");
    }
  }
  return true;
}

void CheckPublishedSet(Fetcher& fetcher, const Limits& limits, Findings* findings, const Progress& progress,
                       std::string* descriptionText, const std::string& publicKeyFile) {
  SetModel set;
  if (!ReadPublishedSet(fetcher, &set, findings, progress)) return;
  CheckSet(set, limits, findings);
  CheckSetHashes(fetcher, set, publicKeyFile, findings);
  if (descriptionText) *descriptionText = set.descriptionText;
}

}  // namespace quarnset
