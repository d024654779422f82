#include "cookie/cookie_format.h"
#include "cookie/cookie_imitation.h"
#include "cookie/cookie_stocker.h"
#include "filter/host_access.h"
#include "filter/process_objects.h"
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

HRESULT restoreRequestCookies(HTTP_FILTER_CONTEXT* pfc, HTTP_FILTER_PREPROC_HEADERS* headers,
                              const std::string& stockKey, const std::string& url) {
  const std::string userAgent = serverVariableOrEmpty(pfc, "HTTP_USER_AGENT");
  // The stock's lock is held only inside lookup, never across the host calls.
  const std::optional<StockedCookies> stocked = cookieStocker().lookup(stockKey, userAgent);
  if (!stocked) return S_FALSE;

  RequestCookies cookies;
  if (auto sent = getHeader(pfc, headers, "Cookie:", kCookieBuffer))
    parseCookieHeader(*sent, cookies);
  const bool secure = isSecureRequest(pfc);

  for (const auto& [key, cookie] : *stocked) {
    if (!flagPasses(cookie.flag, secure)) continue;
    if (url.compare(0, cookie.path.size(), cookie.path) != 0) continue;
    // The handset's own cookie, or a stocked one met earlier, wins.
    cookies.emplace(cookie.name, cookie.value);
  }

  return setHeader(pfc, headers, "Cookie:", formatCookieHeader(cookies)) ? S_OK : E_FAIL;
}

}  // namespace vantomer
