// Request Cookie headers: parsing, and the header restored from a stock.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "http/cookie_format.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  vantomer::RequestCookies cookies;
  vantomer::parseCookieHeader(text, cookies);

  // Restored cookies are written with formatCookieHeader and read by the
  // application as a Cookie header: the pairs must survive the trip.
  const std::string header = vantomer::formatCookieHeader(cookies);
  vantomer::RequestCookies again;
  vantomer::parseCookieHeader(header, again);
  if (again != cookies) std::abort();
  return 0;
}
