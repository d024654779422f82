#include "cookie/restore_request_cookies.h"

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

}  // namespace

HRESULT restoreRequestCookies(CookieStore& store, const RequestFacts& request,
                              const std::string& stockKey, const std::string& url,
                              std::string& cookieHeader) {
  StockedCookies stocked;
  const HRESULT found = store.lookup(stockKey, request.userAgent, stocked);
  if (found != S_OK) return found;

  RequestCookies cookies;
  if (request.cookieHeader) parseCookieHeader(*request.cookieHeader, cookies);
  for (const auto& [key, cookie] : stocked) {
    if (!flagPasses(cookie.flag, request.secure)) continue;
    if (url.compare(0, cookie.path.size(), cookie.path) != 0) continue;
    // The handset's own cookie, or a stocked one met earlier, wins.
    cookies.emplace(cookie.name, cookie.value);
  }
  cookieHeader = formatCookieHeader(cookies);
  return S_OK;
}

}  // namespace vantomer
