#include <filesystem>
#include <fstream>
#include <sstream>
#include <vector>

#include "fetcher.h"
#include "set_model.h"

namespace fs = std::filesystem;

namespace quarnset {

bool AcceptedByInstaller(const FetchResult& r) {
  return r.reached && r.status == 200 && r.hasLength && r.length > 0;
}

namespace {

class DirectoryFetcher : public Fetcher {
 public:
  explicit DirectoryFetcher(std::string dir) : dir_(std::move(dir)) {
    while (dir_.size() > 1 && dir_.back() == '/') dir_.pop_back();
  }

  std::string Name(const std::string& relative) const override { return dir_ + "/" + relative; }

  FetchResult Fetch(const std::string& relative, bool keepBody, const BodySink& sink) override {
    FetchResult r;
    r.reached = true;
    const fs::path path = fs::path(dir_) / relative;
    std::error_code ec;
    if (!fs::is_regular_file(path, ec)) {
      r.status = 404;
      return r;
    }
    r.status = 200;
    r.hasLength = true;
    r.length = static_cast<int64_t>(fs::file_size(path, ec));
    if (ec) {
      r.reached = false;
      r.transportError = ec.message();
      return r;
    }
    if (keepBody && r.length > kMaxWholeFile) {
      r.tooLarge = true;
      r.transportError = "larger than " + std::to_string(kMaxWholeFile) + " bytes";
    } else if (keepBody) {
      std::ifstream in(path, std::ios::binary);
      std::ostringstream s;
      s << in.rdbuf();
      r.body = s.str();
      r.received = static_cast<int64_t>(r.body.size());
      if (sink) sink(r.body.data(), r.body.size());
    } else if (sink) {
      std::ifstream in(path, std::ios::binary);
      std::vector<char> buffer(1 << 20);
      while (in) {
        in.read(buffer.data(), static_cast<std::streamsize>(buffer.size()));
        const std::streamsize got = in.gcount();
        if (got <= 0) break;
        sink(buffer.data(), static_cast<size_t>(got));
        r.received += got;
      }
    } else {
      r.received = r.length;
    }
    return r;
  }

  std::vector<int> DiscFoldersFrom(int first) const override {
    std::vector<int> found;
    for (int d = first; d <= kMaxDiscs; ++d) {
      std::error_code ec;
      if (fs::exists(fs::path(dir_) / kSetFolder / DiscFolderName(d), ec)) found.push_back(d);
    }
    return found;
  }

 private:
  std::string dir_;
};

}  // namespace

std::unique_ptr<Fetcher> MakeDirectoryFetcher(const std::string& dir) {
  return std::make_unique<DirectoryFetcher>(dir);
}

}  // namespace quarnset
