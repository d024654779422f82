#include <optional>

#include "cookie/cookie_imitation.h"
#include "cookie/url_format.h"
#include "filter/host_access.h"
#include "filter/process_objects.h"
#include "platform/text.h"

namespace vantomer {

HRESULT correctLocation(const OutputCoordinator& /*profile*/, HTTP_FILTER_CONTEXT* pfc,
                        HeldResponse& response) {
  auto location = findHeader(response.headers, "Location");
  if (location == response.headers.end()) return S_OK;
  ParsedUrl url;
  if (url.parse(location->second) != S_OK || !url.scheme.empty()) return S_OK;

  url.scheme = text::iequals(serverVariableOrEmpty(pfc, "HTTPS"), "on") ? "https" : "http";
  if (location->second.compare(0, 2, "//") == 0) {
    // "//host/path" names its own host; it only lacks the scheme.
    location->second = url.scheme + ":" + location->second;
    return S_OK;
  }
  url.host = serverVariableOrEmpty(pfc, "HTTP_HOST");

  if (url.path.empty() || url.path[0] != '/') {
    std::optional<std::string> base;
    const std::string& baseName = filterSettings().locationCorrectBasePathSVName;
    if (!baseName.empty()) base = getServerVariable(pfc, baseName, kBasePathBuffer);
    if (!base) base = getServerVariable(pfc, "URL", kBasePathBuffer);
    if (base) {
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
