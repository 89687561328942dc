#include "commands.h"

#include <algorithm>
#include <cstdint>
#include <ctime>
#include <filesystem>
#include <map>
#include <memory>

#include "crypto.h"
#include "fetcher.h"
#include "hash_check.h"
#include "manifest.h"
#include "mirror_check.h"
#include "layout/mirror_list.h"
#include "set_reader.h"
#include "set_rules.h"
#include "set_writer.h"
#include "text_util.h"

namespace quarnset {
namespace {

const char kMainHelp[] =
    "usage: quarnset COMMAND [options] ...\n"
    "\n"
    "Publishes and checks QuarnCAD installation sets.\n"
    "\n"
    "commands:\n"
    "  keygen KEYFILE          make a signing key: KEYFILE (private) and KEYFILE.pub (public)\n"
    "  build MANIFEST OUTDIR   write the server tree of the set a manifest describes\n"
    "  check DIR               check a published tree (the server directory holding Update.ini)\n"
    "  check --https URL [--http URL]\n"
    "                          check a live server the way the installer downloads from it\n"
    "  help COMMAND            show the options of a command\n"
    "\n"
    "exit status: 0 clean (warnings allowed), 1 the set has errors, 2 usage or I/O trouble\n";

const char kBuildHelp[] =
    "usage: quarnset build [options] MANIFEST OUTDIR\n"
    "\n"
    "Reads MANIFEST, refuses any set the installer would misread (each refusal names the manifest line),\n"
    "and writes OUTDIR/Update.ini and OUTDIR/KelvaranDemo/Disc_NN/... with CR LF line ends, part sizes\n"
    "computed from the files and filler bytes for names holding \"ex_\" or \"dl_\". OUTDIR is the server\n"
    "directory (served as Download/UpDate-V9.20 over HTTPS and UpDate-V9.20 over HTTP). An earlier set in\n"
    "OUTDIR is replaced; a folder holding anything else is refused. The written tree is checked at once.\n"
    "Every file list ends with the size and SHA-256 of each file's staged content ([Hashes]); Sign.ini in\n"
    "Disc_01 holds those of Install.ini and the lists, and with --sign a signature over them.\n"
    "\n"
    "options:\n"
    "  --sign KEYFILE        sign the set with the private key KEYFILE (from quarnset keygen); the signed\n"
    "                        part names the set: folder, CadSystem, Version, Sequence and Expires\n"
    "  --expires YYYY-MM-DD  the last day (UTC) the signed set is installed (a past date: a warning)\n"
    "  --valid-days N        or: valid for N days from today (default 365)\n"
    "  --sequence N          the set's sequence number (default: one more than the signed set in OUTDIR,\n"
    "                        else 1); raise it with every set, an installer may refuse older ones\n"
    "  --mirror URL          a mirror of the set (repeatable, at most 8): an https:// or http:// server\n"
    "                        directory holding a copy of the set's folder as on the origin. Listed in the\n"
    "                        signed part of Sign.ini ([Mirrors]); the installer may fetch the set's files\n"
    "                        from it, each checked against the hash data, the origin being the last resort\n"
    "  -D NAME=VALUE         set the manifest variable ${NAME} (overrides [variables])\n"
    "  --https-url URL       the HTTPS server directory the set will be published at\n"
    "  --http-url URL        the HTTP server directory (both used for the URL length limit)\n"
    "  --windir-length N     length of the Windows folder path to allow for (default 10, C:\\WINDOWS)\n"
    "  -q, --quiet           no progress output\n";

const char kKeygenHelp[] =
    "usage: quarnset keygen KEYFILE\n"
    "\n"
    "Makes an ECDSA P-256 key pair: the private key in KEYFILE (PEM, readable by its owner only; never\n"
    "replaced: keygen refuses an existing file) and the public key in KEYFILE.pub (PEM), which the\n"
    "installer is built with (cmake -DQUARN_SET_PUBLIC_KEY=KEYFILE.pub, or QUARN_SET_NEXT_PUBLIC_KEY\n"
    "while moving to a new key). Keep KEYFILE secret: whoever holds it can sign sets that the installer\n"
    "accepts.\n";

const char kCheckHelp[] =
    "usage: quarnset check [options] DIR\n"
    "       quarnset check [options] --https URL [--http URL]\n"
    "\n"
    "Checks a published set against everything the installer relies on: status 200 and a Content-Length\n"
    "above 0 for every file, the probe file's marker lines in order with CR LF, Install.ini and every\n"
    "Fajls_N.ini read line by line as the installer reads them, every listed file present, filler files of\n"
    "even length, part sizes matching the files, labels equal in both files, the end of the set marked by\n"
    "a missing file list, every path below 256 characters, and every hash: Install.ini and the lists\n"
    "against Sign.ini, every file's staged content against its list. Prints one line per finding.\n"
    "\n"
    "DIR is the server directory (holding Update.ini and KelvaranDemo). URLs are the server directories:\n"
    "  --https https://HOST[:PORT]/Download/UpDate-V9.20\n"
    "  --http  http://HOST[:PORT]/UpDate-V9.20\n"
    "\n"
    "options:\n"
    "  --https URL           check the HTTPS host's server directory\n"
    "  --http URL            check the HTTP download host's server directory\n"
    "  --key KEYFILE.pub     check the signature with this public key (then an unsigned set is an error)\n"
    "                        and the signed identity: folder, CadSystem and Version against Install.ini,\n"
    "                        an expired set (an error), one that expires within 30 days (a warning)\n"
    "  --cacert FILE         trust this CA certificate too (a test CA)\n"
    "  --mirrors             also fetch the mirror list from Sign.ini's signed part and compare every file\n"
    "                        the installer may take from a mirror with the hash data: per mirror, what is\n"
    "                        missing, what differs, or that it cannot be reached\n"
    "  --timeout SECONDS     give up on one request after this long (default 120)\n"
    "  --windir-length N     length of the Windows folder path to allow for (default 10)\n"
    "  -q, --quiet           no progress output\n";

struct Common {
  Limits limits;
  bool quiet = false;
};

// Parses an option shared by both commands; returns 1 when consumed (with its value), -1 on error, 0 when
// it is not one of them.
int CommonOption(const std::vector<std::string>& args, size_t* i, Common* common, std::ostream& err) {
  const std::string& a = args[*i];
  if (a == "-q" || a == "--quiet") {
    common->quiet = true;
    return 1;
  }
  if (a == "--windir-length") {
    if (*i + 1 >= args.size()) {
      err << "quarnset: --windir-length needs a number\n";
      return -1;
    }
    const std::string v = args[++*i];
    if (v.empty() || v.size() > 2 || v.find_first_not_of("0123456789") != std::string::npos || std::stoi(v) < 3 || std::stoi(v) > 79) {
      err << "quarnset: --windir-length takes 3 to 79 (the installer keeps the Windows folder in 80 bytes)\n";
      return -1;
    }
    common->limits.windowsFolderLength = std::stoi(v);
    return 1;
  }
  return 0;
}

Progress MakeProgress(const Common& common, std::ostream& err) {
  if (common.quiet) return nullptr;
  return [&err](const std::string& line) { err << "  " << line << "\n"; };
}

int Report(const Findings& findings, std::ostream& out, std::ostream& err, const std::string& what) {
  // Grouped by file (in the order the files were read) and in line order within a file, so the findings
  // read like the files they are about.
  std::map<std::string, size_t> firstSeen;
  for (const Finding& f : findings.All()) firstSeen.emplace(f.where.file, firstSeen.size());
  std::vector<Finding> sorted = findings.All();
  std::stable_sort(sorted.begin(), sorted.end(), [&](const Finding& a, const Finding& b) {
    const size_t fa = firstSeen[a.where.file], fb = firstSeen[b.where.file];
    return fa != fb ? fa < fb : a.where.line < b.where.line;
  });
  for (const Finding& f : sorted) out << FormatFinding(f) << "\n";
  err << what << ": " << findings.Errors() << " error(s), " << findings.Warnings() << " warning(s)\n";
  return findings.HasErrors() ? kExitFindings : kExitClean;
}

int Build(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  Common common;
  ManifestOptions options;
  std::string signKey;
  SetIdentity identity;
  bool haveExpires = false, haveValidDays = false, haveSequence = false;
  long validDays = 365;
  std::vector<MirrorUrl> mirrors;
  std::vector<std::string> positional;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    const int c = CommonOption(args, &i, &common, err);
    if (c < 0) return kExitUsage;
    if (c > 0) continue;
    if (a == "-h" || a == "--help") {
      out << kBuildHelp;
      return kExitClean;
    }
    if (a == "-D" || (StartsWith(a, "-D") && a.size() > 2)) {
      std::string def = a.size() > 2 ? a.substr(2) : (i + 1 < args.size() ? args[++i] : "");
      const size_t eq = def.find('=');
      if (eq == std::string::npos || eq == 0) {
        err << "quarnset build: -D needs NAME=VALUE\n";
        return kExitUsage;
      }
      std::string value = def.substr(eq + 1);
      // A value naming an existing file or folder relative to the current folder means that file, not
      // one relative to the manifest.
      std::error_code ec;
      if (!value.empty() && std::filesystem::path(value).is_relative() && std::filesystem::exists(value, ec))
        value = std::filesystem::absolute(value, ec).string();
      options.variables[def.substr(0, eq)] = value;
    } else if (a == "--mirror") {
      if (i + 1 >= args.size()) {
        err << "quarnset build: --mirror needs a URL\n";
        return kExitUsage;
      }
      const std::string& url = args[++i];
      MirrorUrl mirror;
      const MirrorUrlProblem problem = CheckMirrorUrl(url.data(), url.size(), &mirror);
      if (problem != MirrorUrlProblem::kNone) {
        err << "quarnset build: --mirror " << Quote(url) << ": the URL " << MirrorUrlProblemText(problem)
            << " (an https:// or http:// server directory is expected)\n";
        return kExitUsage;
      }
      for (const MirrorUrl& earlier : mirrors) {
        if (ToLowerAscii(earlier.url) == ToLowerAscii(mirror.url)) {
          err << "quarnset build: --mirror " << Quote(url) << " is given twice\n";
          return kExitUsage;
        }
      }
      if (mirrors.size() == kMaxMirrors) {
        err << "quarnset build: at most " << kMaxMirrors << " mirrors (the installer uses no longer list)\n";
        return kExitUsage;
      }
      mirrors.push_back(mirror);
    } else if (a == "--sign") {
      if (i + 1 >= args.size()) {
        err << "quarnset build: --sign needs a KEYFILE\n";
        return kExitUsage;
      }
      signKey = args[++i];
    } else if (a == "--expires" || a == "--valid-days" || a == "--sequence") {
      if (i + 1 >= args.size()) {
        err << "quarnset build: " << a << " needs a value\n";
        return kExitUsage;
      }
      const std::string v = args[++i];
      if (a == "--expires") {
        if (!ParseUtcDate(v.data(), v.size(), &identity.expiresYear, &identity.expiresMonth, &identity.expiresDay)) {
          err << "quarnset build: --expires takes a date YYYY-MM-DD (1970 or later), not " << v << "\n";
          return kExitUsage;
        }
        haveExpires = true;
      } else if (a == "--valid-days") {
        if (v.empty() || v.size() > 5 || v.find_first_not_of("0123456789") != std::string::npos) {
          err << "quarnset build: --valid-days takes a number of days from 0 to 99999\n";
          return kExitUsage;
        }
        validDays = std::stol(v);
        haveValidDays = true;
      } else {
        uint64_t n = 0;
        bool digits = !v.empty() && v.size() <= 20 && v.find_first_not_of("0123456789") == std::string::npos;
        for (char ch : v) {
          const uint64_t d = static_cast<uint64_t>(ch - '0');
          if (!digits || n > (UINT64_MAX - d) / 10) {
            digits = false;
            break;
          }
          n = n * 10 + d;
        }
        if (!digits) {
          err << "quarnset build: --sequence takes a whole number from 0 to 18446744073709551615\n";
          return kExitUsage;
        }
        identity.sequence = n;
        haveSequence = true;
      }
    } else if (a == "--https-url" || a == "--http-url") {
      if (i + 1 >= args.size()) {
        err << "quarnset build: " << a << " needs a URL\n";
        return kExitUsage;
      }
      (a == "--https-url" ? common.limits.httpsDirectoryUrl : common.limits.httpDirectoryUrl) = args[++i];
    } else if (StartsWith(a, "-") && a.size() > 1) {
      err << "quarnset build: unknown option " << a << "\n" << kBuildHelp;
      return kExitUsage;
    } else {
      positional.push_back(a);
    }
  }
  if (positional.size() != 2) {
    err << kBuildHelp;
    return kExitUsage;
  }
  const std::string& manifest = positional[0];
  const std::string& outDir = positional[1];
  if (signKey.empty() && (haveExpires || haveValidDays || haveSequence)) {
    err << "quarnset build: --expires, --valid-days and --sequence describe a signed set: they need --sign\n";
    return kExitUsage;
  }
  if (haveExpires && haveValidDays) {
    err << "quarnset build: give --expires or --valid-days, not both\n";
    return kExitUsage;
  }
  if (!signKey.empty()) {
    const int64_t today = static_cast<int64_t>(time(nullptr)) / 86400;
    if (!haveExpires) DateOfDay(today + validDays, &identity.expiresYear, &identity.expiresMonth, &identity.expiresDay);
    const int64_t expires = DayNumber(identity.expiresYear, identity.expiresMonth, identity.expiresDay);
    if (expires < today) {
      err << "quarnset build: warning: the set expires on "
          << FormatUtcDate(identity.expiresYear, identity.expiresMonth, identity.expiresDay)
          << ", before today: an installer built with the key refuses it\n";
    }
    if (!haveSequence) {
      uint64_t previous = 0;
      if (ExistingSetSequence(outDir, &previous)) {
        if (previous == UINT64_MAX) {
          err << "quarnset build: the set in " << outDir << " has the highest sequence number; give --sequence\n";
          return kExitUsage;
        }
        identity.sequence = previous + 1;
      } else {
        identity.sequence = 1;
      }
    }
  }
  Findings findings;
  SetModel set;
  if (!ReadManifest(manifest, options, &set, &findings)) {
    Report(findings, out, err, manifest);
    return kExitUsage;
  }
  CheckSet(set, common.limits, &findings);
  if (findings.HasErrors()) {
    Report(findings, out, err, manifest);
    err << "quarnset build: nothing written\n";
    return kExitFindings;
  }
  const Progress progress = MakeProgress(common, err);
  if (!common.quiet) err << "writing " << outDir << "\n";
  std::string error;
  if (!signKey.empty() && (!set.cadSystem || set.cadSystem->text.empty() || !set.version || set.version->text.empty())) {
    Report(findings, out, err, manifest);
    err << "quarnset build: a signed set names its CadSystem and Version: the manifest's [system] needs both\n";
    return kExitUsage;
  }
  if (!WriteSetTree(set, outDir, progress, &error, signKey, &identity, mirrors)) {
    Report(findings, out, err, manifest);
    err << "quarnset build: " << error << "\n";
    return kExitUsage;
  }
  // Read back what was written, as the installer would: a fault here is a fault of quarnset itself.
  Findings written;
  auto fetcher = MakeDirectoryFetcher(outDir);
  std::error_code ec;
  const std::string pub = signKey.empty() || !std::filesystem::exists(signKey + ".pub", ec) ? "" : signKey + ".pub";
  CheckPublishedSet(*fetcher, common.limits, &written, nullptr, nullptr, pub);
  for (const Finding& f : written.All())
    // An expiry date in the past was asked for (and warned about above).
    if (f.severity == Severity::Error && f.text.rfind(kExpiredFinding, 0) != 0)
      findings.Error(f.where, "in the written tree: " + f.text);
  const int rc = Report(findings, out, err, manifest);
  if (rc == kExitClean && !common.quiet) {
    int files = 0;
    for (const Disc& d : set.discs) files += static_cast<int>(d.files.size());
    err << "published " << set.discs.size() << " disc(s), " << files << " file line(s) into " << outDir << "\n";
  }
  return rc;
}

int Check(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  Common common;
  HttpOptions http;
  std::string httpsUrl, httpUrl, dir, key;
  bool mirrors = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    const int c = CommonOption(args, &i, &common, err);
    if (c < 0) return kExitUsage;
    if (c > 0) continue;
    if (a == "-h" || a == "--help") {
      out << kCheckHelp;
      return kExitClean;
    }
    if (a == "--mirrors") {
      mirrors = true;
    } else if (a == "--https" || a == "--http" || a == "--cacert" || a == "--timeout" || a == "--key") {
      if (i + 1 >= args.size()) {
        err << "quarnset check: " << a << " needs a value\n";
        return kExitUsage;
      }
      const std::string v = args[++i];
      if (a == "--key") key = v;
      else if (a == "--https") httpsUrl = v;
      else if (a == "--http") httpUrl = v;
      else if (a == "--cacert") http.caFile = v;
      else {
        if (v.empty() || v.find_first_not_of("0123456789") != std::string::npos || v.size() > 5) {
          err << "quarnset check: --timeout takes a number of seconds\n";
          return kExitUsage;
        }
        http.timeoutSeconds = std::stol(v);
      }
    } else if (StartsWith(a, "-") && a.size() > 1) {
      err << "quarnset check: unknown option " << a << "\n" << kCheckHelp;
      return kExitUsage;
    } else if (dir.empty()) {
      dir = a;
    } else {
      err << kCheckHelp;
      return kExitUsage;
    }
  }
  if (dir.empty() == (httpsUrl.empty() && httpUrl.empty())) {
    err << kCheckHelp;
    return kExitUsage;
  }
  if (!httpsUrl.empty() && !StartsWith(ToLowerAscii(httpsUrl), "https://")) {
    err << "quarnset check: --https takes an https:// URL\n";
    return kExitUsage;
  }
  if (!httpUrl.empty() && !StartsWith(ToLowerAscii(httpUrl), "http://")) {
    err << "quarnset check: --http takes an http:// URL\n";
    return kExitUsage;
  }
  if (!key.empty()) {
    std::error_code ec;
    if (!std::filesystem::is_regular_file(key, ec)) {
      err << "quarnset check: " << key << " is not a file\n";
      return kExitUsage;
    }
  }
  const Progress progress = MakeProgress(common, err);
  Findings findings;
  if (!dir.empty()) {
    std::error_code ec;
    if (!std::filesystem::is_directory(dir, ec)) {
      err << "quarnset check: " << dir << " is not a folder\n";
      return kExitUsage;
    }
    auto fetcher = MakeDirectoryFetcher(dir);
    CheckPublishedSet(*fetcher, common.limits, &findings, progress, nullptr, key);
    if (mirrors) CheckMirrors(*fetcher, http, &findings, progress);
    return Report(findings, out, err, dir);
  }
  if (!httpsUrl.empty()) common.limits.httpsDirectoryUrl = httpsUrl;
  if (!httpUrl.empty()) common.limits.httpDirectoryUrl = httpUrl;
  std::string descriptions[2];
  int index = 0;
  for (const std::string& url : {httpsUrl, httpUrl}) {
    ++index;
    if (url.empty()) continue;
    std::string error;
    auto fetcher = MakeHttpFetcher(url, http, &error);
    if (!fetcher) {
      err << "quarnset check: " << error << "\n";
      return kExitUsage;
    }
    if (!common.quiet) err << "checking " << url << "\n";
    CheckPublishedSet(*fetcher, common.limits, &findings, progress, &descriptions[index - 1], key);
    // The mirror list once, from the first host given (both serve the same Sign.ini, or a warning says not).
    if (mirrors && index == (httpsUrl.empty() ? 2 : 1)) CheckMirrors(*fetcher, http, &findings, progress);
  }
  if (!httpsUrl.empty() && !httpUrl.empty() && descriptions[0] != descriptions[1])
    findings.Warning({httpUrl, 0}, "the two hosts serve different Install.ini files: users on the HTTP fallback get another set");
  return Report(findings, out, err, httpsUrl.empty() ? httpUrl : httpsUrl + (httpUrl.empty() ? "" : " and " + httpUrl));
}

int Keygen(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  if (args.size() == 1 && (args[0] == "-h" || args[0] == "--help")) {
    out << kKeygenHelp;
    return kExitClean;
  }
  if (args.size() != 1 || (StartsWith(args[0], "-") && args[0].size() > 1)) {
    err << kKeygenHelp;
    return kExitUsage;
  }
  std::string error;
  if (!GenerateKeyFiles(args[0], &error)) {
    err << "quarnset keygen: " << error << "\n";
    return kExitUsage;
  }
  err << "wrote the private key " << args[0] << " and the public key " << args[0] << ".pub\n";
  return kExitClean;
}

}  // namespace

int RunQuarnset(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  if (args.empty()) {
    err << kMainHelp;
    return kExitUsage;
  }
  const std::string& command = args[0];
  const std::vector<std::string> rest(args.begin() + 1, args.end());
  if (command == "-h" || command == "--help") {
    out << kMainHelp;
    return kExitClean;
  }
  if (command == "help") {
    if (rest.empty()) out << kMainHelp;
    else if (rest[0] == "build") out << kBuildHelp;
    else if (rest[0] == "check") out << kCheckHelp;
    else if (rest[0] == "keygen") out << kKeygenHelp;
    else {
      err << "quarnset: no command " << rest[0] << "\n" << kMainHelp;
      return kExitUsage;
    }
    return kExitClean;
  }
  if (command == "build") return Build(rest, out, err);
  if (command == "check") return Check(rest, out, err);
  if (command == "keygen") return Keygen(rest, out, err);
  err << "quarnset: unknown command " << command << "\n" << kMainHelp;
  return kExitUsage;
}

}  // namespace quarnset
