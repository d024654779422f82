#include "cookie/cookie_change.h"

namespace vantomer {
namespace {

// "/a/b/c?q" gives "/a/b"; a path with no inner slash gives "".
std::string_view directoryOf(std::string_view path) {
  path = path.substr(0, path.find_first_of("?#"));
  const std::size_t slash = path.rfind('/');
  return slash == std::string_view::npos ? std::string_view() : path.substr(0, slash);
}

bool reachesPathless(std::string_view deletionPath, std::string_view requestPath) {
  if (deletionPath == "/") return true;
  const std::string_view directory = directoryOf(requestPath);
  if (directory.empty()) return false;
  return deletionPath == directory ||
         (deletionPath.size() == directory.size() + 1 && deletionPath.back() == '/' &&
          deletionPath.substr(0, directory.size()) == directory);
}

}  // namespace

CookieChange readCookieChange(std::string_view setCookieValue, std::string_view requestPath) {
  CookieChange change;
  parseSetCookie(setCookieValue, change.cookie);
  const StockedCookie& cookie = change.cookie;
  change.deletes = !cookie.expires.empty() || (cookie.maxAge && *cookie.maxAge <= 0);
  if (change.deletes) {
    change.removed.emplace_back(cookie.name, cookie.path);
    if (!cookie.path.empty() && reachesPathless(cookie.path, requestPath))
      change.removed.emplace_back(cookie.name, std::string());
  } else if (cookie.maxAge) {
    change.lifetimeMs = *cookie.maxAge * 1000;
  }
  return change;
}

}  // namespace vantomer

namespace vantomer {

HRESULT CookieStore::capture(std::string& stockKey,
                             const std::vector<std::string_view>& setCookieValues,
                             std::string_view userAgent) {
  return capture(stockKey, setCookieValues, userAgent, CaptureOptions{});
}

}  // namespace vantomer
