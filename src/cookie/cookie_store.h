#pragma once
// The server-side cookie stock as the filter uses it: one call per request
// side, so that a store in another process costs one round trip each.

#include <map>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "http/cookie_format.h"
#include "platform/hresult.h"

namespace vantomer {
struct CaptureOptions;
}

namespace vantomer {

// (name, path), ordered byte-wise.
using CookieKey = std::pair<std::string, std::string>;
using StockedCookies = std::map<CookieKey, StockedCookie>;

// Bounds every store keeps per handset, as browsers keep cookies: at most
// kMaxCookiesPerEntry cookies (a new one pushes out the one set longest ago),
// and a cookie whose name and value together exceed kMaxCookieBytes is not
// stocked at all.
inline constexpr std::size_t kMaxCookiesPerEntry = 50;
inline constexpr std::size_t kMaxCookieBytes = 4096;

// Whether a parsed Set-Cookie value is small enough to stock.
inline bool fitsCookieBound(const StockedCookie& cookie) {
  return cookie.name.size() + cookie.value.size() <= kMaxCookieBytes;
}

class CookieStore {
 public:
  virtual ~CookieStore() = default;

  // Stocks the Set-Cookie values of one response, in order, under stockKey;
  // an empty key first receives a new one, and so does every key when the
  // options renew it. Nothing happens for no values. Negative when the
  // store failed; the key may then be new all the same.
  [[nodiscard]] virtual HRESULT capture(std::string& stockKey,
                                        const std::vector<std::string_view>& setCookieValues,
                                        std::string_view userAgent,
                                        const CaptureOptions& options) = 0;
  [[nodiscard]] HRESULT capture(std::string& stockKey,
                                const std::vector<std::string_view>& setCookieValues,
                                std::string_view userAgent);
  // S_OK with the cookies when the key has an entry of this User-Agent;
  // S_FALSE when it has none (an entry of another User-Agent is removed);
  // negative when the store failed.
  [[nodiscard]] virtual HRESULT lookup(const std::string& stockKey, std::string_view userAgent,
                                       StockedCookies& cookies) = 0;
  // Removes the entries idle for the timeout or longer.
  virtual void sweep() = 0;
  // A key no other entry has had: 16 letters from the system's secure
  // source, then "0x" and a hexadecimal serial.
  [[nodiscard]] virtual HRESULT newKey(std::string& key) = 0;
};

}  // namespace vantomer
