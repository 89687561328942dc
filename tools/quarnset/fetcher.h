// Where `check` reads a published set from: a folder (the server directory on disk) or a live server.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace quarnset {

struct FetchResult {
  bool reached = false;         // the transfer itself worked (no connection, TLS or read error)
  std::string transportError;   // when not reached, or when the body ended early
  long status = 0;              // HTTP status of the final response (200 for an existing file on disk)
  bool hasLength = false;       // a Content-Length header came with the final response
  int64_t length = 0;
  int64_t received = 0;         // body bytes that arrived
  std::string body;             // when asked for (at most kMaxWholeFile bytes)
  bool tooLarge = false;        // a body asked for was larger than kMaxWholeFile: not read further
  std::string redirectedTo;     // the final URL when a redirect was followed
  std::string contentEncoding;  // a Content-Encoding header, which the installer does not undo
};

// Files read whole (Update.ini, Install.ini, Fajls_N.ini) are refused above this size, as the installer
// refuses them; a body kept in memory is never larger.
constexpr int64_t kMaxWholeFile = 16 * 1024 * 1024;

// Receives every body byte as it arrives (of the final response), also when the body is not kept.
using BodySink = std::function<void(const char* data, size_t n)>;

// The installer's acceptance of a file: status 200 and a Content-Length above 0.
bool AcceptedByInstaller(const FetchResult& r);

class Fetcher {
 public:
  virtual ~Fetcher() = default;
  // The name a finding gives for a path inside the server directory ("KelvaranDemo/Disc_01/Install.ini").
  virtual std::string Name(const std::string& relative) const = 0;
  virtual FetchResult Fetch(const std::string& relative, bool keepBody, const BodySink& sink = nullptr) = 0;
  // Disc folders on disk beyond the given disc number (only a folder can be listed).
  virtual std::vector<int> DiscFoldersFrom(int /*first*/) const { return {}; }
};

std::unique_ptr<Fetcher> MakeDirectoryFetcher(const std::string& dir);

struct HttpOptions {
  std::string caFile;   // extra CA certificate (the test CA)
  long timeoutSeconds = 120;
};
// Null when this build has no URL support (*error says so).
std::unique_ptr<Fetcher> MakeHttpFetcher(const std::string& baseUrl, const HttpOptions& options, std::string* error);

}  // namespace quarnset
