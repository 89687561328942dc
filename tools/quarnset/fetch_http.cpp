// Reads a live server with libcurl, asking the way the installer asks (plain GET, no cache, no
// compression, redirects followed) and recording what the installer relies on.
#include <curl/curl.h>

#include <cstring>

#include "fetcher.h"
#include "text_util.h"

namespace quarnset {
namespace {

struct Transfer {
  FetchResult* result;
  bool keepBody;
  const BodySink* sink;
};

size_t OnBody(char* data, size_t size, size_t count, void* user) {
  auto* t = static_cast<Transfer*>(user);
  const size_t n = size * count;
  if (t->keepBody && t->result->received + static_cast<int64_t>(n) > kMaxWholeFile) {
    t->result->tooLarge = true;
    return 0;  // ends the transfer
  }
  t->result->received += static_cast<int64_t>(n);
  if (t->keepBody) t->result->body.append(data, n);
  if (*t->sink) (*t->sink)(data, n);
  return n;
}

size_t OnHeader(char* data, size_t size, size_t count, void* user) {
  auto* t = static_cast<Transfer*>(user);
  const size_t n = size * count;
  std::string line(data, n);
  while (!line.empty() && (line.back() == '\r' || line.back() == '\n')) line.pop_back();
  if (StartsWith(line, "HTTP/")) {
    // A new response (after a redirect): only the final one's headers count.
    t->result->hasLength = false;
    t->result->length = 0;
    t->result->contentEncoding.clear();
    return n;
  }
  const size_t colon = line.find(':');
  if (colon == std::string::npos) return n;
  const std::string name = ToLowerAscii(TrimBlanks(line.substr(0, colon)));
  const std::string value = TrimBlanks(line.substr(colon + 1));
  if (name == "content-length") {
    t->result->hasLength = true;
    t->result->length = 0;
    for (char c : value) {
      if (c < '0' || c > '9') break;
      t->result->length = t->result->length * 10 + (c - '0');
    }
  } else if (name == "content-encoding" && !EqualsIgnoringCase(value, "identity")) {
    t->result->contentEncoding = value;
  }
  return n;
}

class HttpFetcher : public Fetcher {
 public:
  HttpFetcher(std::string base, HttpOptions options) : base_(std::move(base)), options_(std::move(options)) {
    while (!base_.empty() && base_.back() == '/') base_.pop_back();
    curl_ = curl_easy_init();
  }
  ~HttpFetcher() override {
    if (curl_) curl_easy_cleanup(curl_);
  }

  std::string Name(const std::string& relative) const override { return base_ + "/" + relative; }

  FetchResult Fetch(const std::string& relative, bool keepBody, const BodySink& sink) override {
    FetchResult r;
    Transfer t{&r, keepBody, &sink};
    const std::string url = Name(relative);
    curl_easy_reset(curl_);
    curl_easy_setopt(curl_, CURLOPT_URL, url.c_str());
    curl_easy_setopt(curl_, CURLOPT_USERAGENT, "QuarnCAD UpDate");
    curl_easy_setopt(curl_, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(curl_, CURLOPT_MAXREDIRS, 10L);
    curl_easy_setopt(curl_, CURLOPT_WRITEFUNCTION, OnBody);
    curl_easy_setopt(curl_, CURLOPT_WRITEDATA, &t);
    curl_easy_setopt(curl_, CURLOPT_HEADERFUNCTION, OnHeader);
    curl_easy_setopt(curl_, CURLOPT_HEADERDATA, &t);
    curl_easy_setopt(curl_, CURLOPT_TIMEOUT, options_.timeoutSeconds);
    curl_easy_setopt(curl_, CURLOPT_CONNECTTIMEOUT, 20L);
    // The installer bypasses every cache.
    curl_slist* headers = curl_slist_append(nullptr, "Cache-Control: no-cache");
    headers = curl_slist_append(headers, "Pragma: no-cache");
    curl_easy_setopt(curl_, CURLOPT_HTTPHEADER, headers);
    if (!options_.caFile.empty()) curl_easy_setopt(curl_, CURLOPT_CAINFO, options_.caFile.c_str());
    char message[CURL_ERROR_SIZE] = "";
    curl_easy_setopt(curl_, CURLOPT_ERRORBUFFER, message);
    const CURLcode code = curl_easy_perform(curl_);
    curl_slist_free_all(headers);
    curl_easy_getinfo(curl_, CURLINFO_RESPONSE_CODE, &r.status);
    char* effective = nullptr;
    curl_easy_getinfo(curl_, CURLINFO_EFFECTIVE_URL, &effective);
    long redirects = 0;
    curl_easy_getinfo(curl_, CURLINFO_REDIRECT_COUNT, &redirects);
    if (redirects > 0 && effective) r.redirectedTo = effective;
    if (r.tooLarge) {
      r.reached = true;
      r.transportError = "larger than " + std::to_string(kMaxWholeFile) + " bytes";
    } else if (code == CURLE_OK) {
      r.reached = true;
    } else if (code == CURLE_PARTIAL_FILE || ((code == CURLE_RECV_ERROR || code == CURLE_OPERATION_TIMEDOUT) && r.status != 0)) {
      // The answer came, but its body broke off: what the installer's single read would see.
      r.reached = true;
      r.transportError = std::string(message[0] ? message : curl_easy_strerror(code));
    } else {
      r.transportError = std::string(message[0] ? message : curl_easy_strerror(code));
    }
    return r;
  }

 private:
  std::string base_;
  HttpOptions options_;
  CURL* curl_ = nullptr;
};

}  // namespace

std::unique_ptr<Fetcher> MakeHttpFetcher(const std::string& baseUrl, const HttpOptions& options, std::string* error) {
  static const bool initialised = curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK;
  if (!initialised) {
    *error = "libcurl could not be initialised";
    return nullptr;
  }
  return std::make_unique<HttpFetcher>(baseUrl, options);
}

}  // namespace quarnset
