// Set-Cookie values as the application writes them.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

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
  return 0;
}
