// Built instead of fetch_http.cpp when libcurl is not available (e.g. the Windows build).
#include "fetcher.h"

namespace quarnset {

std::unique_ptr<Fetcher> MakeHttpFetcher(const std::string& baseUrl, const HttpOptions&, std::string* error) {
  *error = "this quarnset was built without libcurl and cannot check a live server (" + baseUrl +
           "); check the published folder instead, or use the Linux build";
  return nullptr;
}

}  // namespace quarnset
