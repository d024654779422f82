#pragma once
// What one Set-Cookie value does to a handset's stocked cookies: stock a
// cookie (for a bounded time when it has a Max-Age) or delete stocked ones.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "cookie/cookie_store.h"
#include "http/cookie_format.h"

namespace vantomer {

struct CookieChange {
  StockedCookie cookie;
  // A deletion: an Expires (any date) or a Max-Age of 0 or less. The
  // stocked cookies of these keys go; nothing is stocked.
  bool deletes = false;
  std::vector<CookieKey> removed;
  // Milliseconds the stock restores the cookie for; 0 for no bound.
  int64_t lifetimeMs = 0;
};

// requestPath is the public path of the request (query allowed): a deletion
// with Path "/" or the request's directory also reaches the cookie of that
// name stocked without a path, which the browser would have scoped there.
CookieChange readCookieChange(std::string_view setCookieValue, std::string_view requestPath);

// Options of one capture.
struct CaptureOptions {
  std::string_view requestPath;
  // A request that came with a key stocks under a new one: a copy of the
  // old entry plus the new cookies; the old entry stays as it was.
  bool renewKey = false;
};

}  // namespace vantomer
