#include "set_writer.h"

#include <ctime>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <vector>

#include "crypto.h"
#include "installer_rules.h"
#include "text_util.h"

namespace fs = std::filesystem;

namespace quarnset {
namespace {

void Line(std::string* out, const std::string& text) {
  *out += text;
  *out += "\r\n";
}

void Key(std::string* out, const std::string& key, const std::string& value) {
  Line(out, key + "=" + value);
}

bool WriteFile(const fs::path& path, const std::string& bytes, std::string* error) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  out.close();
  if (!out) {
    *error = "cannot write " + path.string();
    return false;
  }
  return true;
}

// Copies a file into the tree (with filler bytes for filler names) and hashes its content: what the
// installer stages.
bool CopyWithFiller(const std::string& from, const fs::path& to, bool filler, HashEntry* hash, std::string* error) {
  std::ifstream in(from, std::ios::binary);
  if (!in) {
    *error = "cannot open " + from;
    return false;
  }
  std::ofstream out(to, std::ios::binary | std::ios::trunc);
  if (!out) {
    *error = "cannot create " + to.string();
    return false;
  }
  std::vector<char> buffer(1 << 20);
  uint64_t offset = 0;
  Sha256 sha;
  while (in) {
    in.read(buffer.data(), static_cast<std::streamsize>(buffer.size()));
    const std::streamsize got = in.gcount();
    if (got <= 0) break;
    sha.Update(buffer.data(), static_cast<size_t>(got));
    if (filler) {
      const std::string doubled = AddFillerBytes(std::string(buffer.data(), static_cast<size_t>(got)), offset);
      out.write(doubled.data(), static_cast<std::streamsize>(doubled.size()));
    } else {
      out.write(buffer.data(), got);
    }
    offset += static_cast<uint64_t>(got);
  }
  if (in.bad()) {
    *error = "cannot read " + from;
    return false;
  }
  hash->size = offset;
  sha.Finish(hash->sha256);
  out.close();
  if (!out) {
    *error = "cannot write " + to.string();
    return false;
  }
  return true;
}

// An earlier set may be replaced; anything else in the output folder is the user's and stays.
bool IsReplaceable(const fs::path& dir, std::string* error) {
  std::error_code ec;
  if (!fs::exists(dir, ec)) return true;
  if (!fs::is_directory(dir, ec)) {
    *error = dir.string() + " exists and is not a folder";
    return false;
  }
  for (const auto& entry : fs::directory_iterator(dir, ec)) {
    const std::string name = entry.path().filename().string();
    if (name != kProbeFile && name != kSetFolder) {
      *error = dir.string() + " holds " + name + ", which is not part of a published set; choose an empty or new folder";
      return false;
    }
  }
  return !ec;
}

}  // namespace

std::string AddFillerBytes(const std::string& content, uint64_t offset) {
  std::string out;
  out.reserve(content.size() * 2);
  for (size_t i = 0; i < content.size(); ++i) {
    // Varying filler bytes: a reader that keeps the wrong half shows up at once.
    const uint64_t pos = offset + i;
    out.push_back(static_cast<char>(0x5A ^ static_cast<unsigned>((pos * 131u) & 0xFF)));
    out.push_back(content[i]);
  }
  return out;
}

std::string ProbeText() {
  std::string out;
  Line(&out, "QuarnCAD WEB update system: V9.21");
  Line(&out, "QuarnSoft Ltd. 1992-2019.");
  return out;
}

std::string DescriptionText(const SetModel& set) {
  std::string out;
  Line(&out, "; QuarnCAD installation set description (written by quarnset)");
  Line(&out, "[System]");
  if (set.root) Key(&out, "RootDirectory", set.root->text);
  if (set.cadSystem) Key(&out, "CadSystem", set.cadSystem->text);
  if (set.subSystem) Key(&out, "SubSystem", set.subSystem->text);
  if (set.version) Key(&out, "Version", set.version->text);
  for (const Disc& d : set.discs) {
    Line(&out, "");
    Line(&out, "[" + DiscSectionName(d.number) + "]");
    if (d.label) Key(&out, "Name", d.label->text);
    for (int p = 0; p < kPartCount; ++p)
      if (d.sizes[p].present) Key(&out, kPartNames[p], std::to_string(d.sizes[p].bytes));
  }
  if (!set.dirs.empty()) {
    Line(&out, "");
    Line(&out, "[Directorys]");
    for (size_t i = 0; i < set.dirs.size(); ++i) Key(&out, "Dir" + std::to_string(i + 1), set.dirs[i].text);
  }
  if (!set.fonts.empty()) {
    Line(&out, "");
    Line(&out, "[FontsCommand]");
    for (size_t i = 0; i < set.fonts.size(); ++i) {
      Key(&out, "FontFile" + std::to_string(i + 1), set.fonts[i].file.text);
      Key(&out, "FontName" + std::to_string(i + 1), set.fonts[i].name.text);
    }
  }
  if (!set.types.empty()) {
    Line(&out, "");
    Line(&out, "[RegistryCommand]");
    for (size_t i = 0; i < set.types.size(); ++i) {
      const std::string n = std::to_string(i + 1);
      Key(&out, "FileType" + n, set.types[i].ext.text);
      Key(&out, "ClassName" + n, set.types[i].cls.text);
      if (set.types[i].exe) Key(&out, "ExeFile" + n, set.types[i].exe->text);
      if (set.types[i].icon) Key(&out, "IconFile" + n, set.types[i].icon->text);
    }
  }
  if (!set.commands.empty()) {
    Line(&out, "");
    Line(&out, "[Command]");
    for (size_t i = 0; i < set.commands.size(); ++i) Key(&out, "Command" + std::to_string(i + 1), set.commands[i].text);
  }
  return out;
}

std::string HashSectionText(const std::vector<HashEntry>& entries) {
  std::string out;
  Line(&out, "");
  Line(&out, std::string("[") + kHashSection + "]");
  for (const HashEntry& e : entries) Line(&out, FormatHashLine(e.name, e.size, e.sha256));
  return out;
}

HashEntry HashOf(const std::string& name, const std::string& bytes) {
  HashEntry e;
  e.name = name;
  e.size = bytes.size();
  Sha256Of(bytes, e.sha256);
  return e;
}

std::string SignFileText(const std::vector<HashEntry>& descriptions) {
  std::string out;
  Line(&out, "; QuarnCAD installation set: hashes of Install.ini and the file lists (written by quarnset)");
  Line(&out, std::string("[") + kHashSection + "]");
  for (const HashEntry& e : descriptions) Line(&out, FormatHashLine(e.name, e.size, e.sha256));
  return out;
}

std::string SignatureSectionText(const unsigned char signature[kSignatureSize]) {
  std::string out;
  Line(&out, std::string("[") + kSignatureSection + "]");
  Line(&out, std::string(kSignatureAlgorithm) + "=" + HexText(signature, kSignatureSize));
  return out;
}

std::string FileListText(const Disc& disc) {
  std::string out;
  Line(&out, "; QuarnCAD installation set, file list of disc " + std::to_string(disc.number) + " (written by quarnset)");
  Line(&out, "[Disc]");
  if (disc.listLabel) Key(&out, "Name", disc.listLabel->text);
  for (int p = 0; p < kPartCount; ++p) {
    int n = 0;
    for (const FileItem& f : disc.files) {
      if (f.part != p) continue;
      if (n == 0) {
        Line(&out, "");
        Line(&out, std::string("[") + kPartNames[p] + "]");
      }
      Key(&out, "File" + std::to_string(++n), f.line);
    }
  }
  return out;
}

bool WriteSetTree(const SetModel& set, const std::string& outDir, const Progress& progress, std::string* error,
                  const std::string& signKeyFile, const SetIdentity* identity,
                  const std::vector<MirrorUrl>& mirrors) {
  fs::path out = fs::path(outDir);
  if (out.filename().empty()) out = out.parent_path();  // "dir/" names dir
  if (!IsReplaceable(out, error)) return false;
  std::error_code ec;
  const fs::path staging = out.parent_path() / (out.filename().string() + ".quarnset-new");
  fs::remove_all(staging, ec);
  if (!fs::create_directories(staging / kSetFolder, ec)) {
    *error = "cannot create " + (staging / kSetFolder).string() + ": " + ec.message();
    return false;
  }
  if (!HaveCrypto()) {
    *error = "this build of quarnset has no cryptography library: it cannot hash the set";
    return false;
  }
  bool ok = WriteFile(staging / kProbeFile, ProbeText(), error);
  std::vector<HashEntry> descriptions;  // Install.ini and the lists, for Sign.ini
  int64_t totalFiles = 0, doneFiles = 0;
  for (const Disc& d : set.discs) totalFiles += static_cast<int64_t>(d.files.size());
  for (const Disc& d : set.discs) {
    if (!ok) break;
    const fs::path discDir = staging / kSetFolder / DiscFolderName(d.number);
    fs::create_directories(discDir, ec);
    std::map<std::string, std::string> written;  // stored name -> local source
    std::vector<HashEntry> hashes;                // in the order the download fetches them
    for (const FileItem& f : d.files) {
      std::string name = installer::ServerNameOf(f.line);
      ++doneFiles;
      if (written.count(name)) continue;
      written[name] = f.local;
      std::string relative = name;
      for (auto& c : relative)
        if (c == '\\') c = '/';
      const fs::path target = discDir / relative;
      fs::create_directories(target.parent_path(), ec);
      HashEntry hash;
      hash.name = name;
      if (!CopyWithFiller(f.local, target, installer::IsFillerName(name), &hash, error)) {
        ok = false;
        break;
      }
      hashes.push_back(hash);
      if (progress)
        progress("disc " + std::to_string(d.number) + ": " + name + " (" + std::to_string(doneFiles) + "/" +
                 std::to_string(totalFiles) + " files)");
    }
    if (!ok) break;
    const std::string list = FileListText(d) + HashSectionText(hashes);
    ok = WriteFile(discDir / FileListName(d.number), list, error);
    if (ok && d.number == 1) {
      const std::string description = DescriptionText(set);
      ok = WriteFile(discDir / kDescriptionFile, description, error);
      descriptions.insert(descriptions.begin(), HashOf(kDescriptionFile, description));
    }
    descriptions.push_back(HashOf(FileListName(d.number), list));
  }
  if (ok) {
    // The mirror list before the identity and the signature: the signature covers it, and the
    // installer reads it only from the signed part.
    std::string sign = SignFileText(descriptions) + FormatMirrorSection(mirrors);
    if (!signKeyFile.empty()) {
      SetIdentity id = identity != nullptr ? *identity : SetIdentity();
      id.folder = kSetFolder;
      id.cadSystem = set.cadSystem ? set.cadSystem->text : "";
      id.version = set.version ? set.version->text : "";
      if (id.expiresYear == 0) DateOfDay(static_cast<int64_t>(time(nullptr)) / 86400 + 365, &id.expiresYear, &id.expiresMonth, &id.expiresDay);
      sign += FormatSetIdentity(id);
      unsigned char signature[kSignatureSize];
      ok = SignWithKeyFile(signKeyFile, sign, signature, error);
      sign += SignatureSectionText(signature);
    }
    if (ok) ok = WriteFile(staging / kSetFolder / DiscFolderName(1) / kSignFileName, sign, error);
  }
  if (!ok) {
    fs::remove_all(staging, ec);
    return false;
  }
  fs::remove_all(out, ec);
  if (ec) {
    *error = "cannot remove the earlier set in " + out.string() + ": " + ec.message();
    return false;
  }
  fs::rename(staging, out, ec);
  if (ec) {
    *error = "cannot move the new set into " + out.string() + ": " + ec.message();
    return false;
  }
  return true;
}

bool ExistingSetSequence(const std::string& outDir, uint64_t* sequence) {
  std::ifstream in(fs::path(outDir) / kSetFolder / DiscFolderName(1) / kSignFileName, std::ios::binary);
  if (!in) return false;
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  size_t signedSize = 0;
  unsigned char signature[kSignatureSize];
  ReadSignature(text.data(), text.size(), &signedSize, signature);
  SetIdentity id;
  if (ReadSetIdentity(text.data(), signedSize, &id) != IdentityData::kPresent) return false;
  *sequence = id.sequence;
  return true;
}

}  // namespace quarnset
