#pragma once
// Set-Cookie values and request Cookie headers.

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace vantomer {

struct StockedCookie {
  std::string name;
  std::string value;
  std::string path;
  std::string expires;
  std::string flag;
  // Max-Age in seconds when the cookie carries a well-formed one.
  std::optional<int64_t> maxAge = std::nullopt;
};

void parseSetCookie(std::string_view text, StockedCookie& cookie);

// Cookie name to value, byte-wise order; the first value of a name wins.
using RequestCookies = std::map<std::string, std::string>;

void parseCookieHeader(std::string_view text, RequestCookies& cookies);
std::string formatCookieHeader(const RequestCookies& cookies);

}  // namespace vantomer
