#include "cookie/correct_location.h"

#include "http/url_format.h"

namespace vantomer {

HRESULT correctLocation(const RequestFacts& request, HeldResponse& response) {
  auto location = findHeader(response.headers, "Location");
  if (location == response.headers.end()) return S_OK;
  ParsedUrl url;
  if (url.parse(location->second) != S_OK || !url.scheme.empty()) return S_OK;

  url.scheme = request.secure ? "https" : "http";
  if (location->second.compare(0, 2, "//") == 0) {
    // "//host/path" names its own host; it only lacks the scheme.
    location->second = url.scheme + ":" + location->second;
    return S_OK;
  }
  url.host = request.host;

  if (url.path.empty() || url.path[0] != '/') {
    if (const auto& base = request.basePath) {
      const std::size_t slash = base->rfind('/');
      if (slash != std::string::npos) url.path.insert(0, *base, 0, slash + 1);
    }
    // Without a base directory the path is taken from the root, or it
    // would run into the host.
    if (!url.path.empty() && url.path[0] != '/') url.path = '/' + url.path;
  }
  location->second = url.format();
  return S_OK;
}

}  // namespace vantomer
