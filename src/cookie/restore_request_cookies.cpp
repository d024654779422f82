#include "cookie/restore_request_cookies.h"

#include <set>

#include "http/cookie_format.h"
#include "platform/text.h"

namespace vantomer {
namespace {

bool flagPasses(const std::string& flag, bool secure) {
  if (flag.empty()) return true;
  if (text::iequals(flag, "secure")) return secure;
  // HttpOnly keeps a cookie from scripts, not from any kind of request: the
  // restored header always goes to the application over HTTP.
  if (text::iequals(flag, "HttpOnly")) return true;
  return false;
}

// What a pair adds to the header formatCookieHeader writes: "name=value; ".
std::size_t pairLength(const std::string& name, const std::string& value) {
  return name.size() + value.size() + 3;
}

}  // namespace

HRESULT restoreRequestCookies(CookieStore& store, const RequestFacts& request,
                              const std::string& stockKey, const std::string& url,
                              std::string& cookieHeader) {
  StockedCookies stocked;
  const HRESULT found = store.lookup(stockKey, request.userAgent, stocked);
  if (found != S_OK) return found;

  RequestCookies cookies;
  if (request.cookieHeader) parseCookieHeader(*request.cookieHeader, cookies);
  std::size_t length = 0;
  for (const auto& [name, value] : cookies) length += pairLength(name, value);
  if (length > kMaxCookieHeader) {
    // Normalising lengthened the handset's own header past what a request
    // may carry; it goes on as it came, with nothing added.
    cookieHeader = *request.cookieHeader;
    return S_OK;
  }
  std::set<std::string> leftOut;
  for (const auto& [key, cookie] : stocked) {
    if (!flagPasses(cookie.flag, request.secure)) continue;
    if (url.compare(0, cookie.path.size(), cookie.path) != 0) continue;
    // The handset's own cookie, or a stocked one met earlier, wins; also one
    // that was left out for its length, so no other path's value stands in.
    if (cookies.count(cookie.name) || leftOut.count(cookie.name)) continue;
    const std::size_t added = pairLength(cookie.name, cookie.value);
    if (length + added > kMaxCookieHeader) {
      leftOut.insert(cookie.name);
      continue;
    }
    length += added;
    cookies.emplace(cookie.name, cookie.value);
  }
  cookieHeader = formatCookieHeader(cookies);
  return S_OK;
}

}  // namespace vantomer
