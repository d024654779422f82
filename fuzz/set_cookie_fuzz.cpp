// Set-Cookie values as the application writes them.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "cookie/cookie_change.h"
#include "http/cookie_format.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  vantomer::StockedCookie cookie;
  vantomer::parseSetCookie(text, cookie);
  // Every part is a piece of the text.
  for (const auto* part :
       {&cookie.name, &cookie.value, &cookie.path, &cookie.expires, &cookie.flag}) {
    if (part->size() > size) std::abort();
    if (!part->empty() && text.find(*part) == std::string_view::npos) std::abort();
  }
  // A deletion stocks nothing and removes its own name and path first; a
  // stocked cookie's life is never negative.
  const vantomer::CookieChange change = vantomer::readCookieChange(text, "/member/logout");
  if (change.deletes && (change.removed.empty() || change.removed.front().first != cookie.name))
    std::abort();
  if (!change.deletes && (!change.removed.empty() || change.lifetimeMs < 0)) std::abort();
  return 0;
}
