#include "http/cookie_format.h"

#include <algorithm>

#include "platform/text.h"

namespace vantomer {
namespace {

std::size_t skipSpaces(std::string_view text, std::size_t pos) {
  while (pos < text.size() && text[pos] == ' ') ++pos;
  return pos;
}

bool isBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view trimBlanks(std::string_view text) {
  while (!text.empty() && isBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && isBlank(text.back())) text.remove_suffix(1);
  return text;
}

// Digits with an optional leading "-"; anything else leaves the attribute
// unread, as browsers do. Values past a century are held there.
std::optional<int64_t> parseMaxAge(std::string_view text) {
  text = trimBlanks(text);
  const bool negative = !text.empty() && text.front() == '-';
  if (negative) text.remove_prefix(1);
  if (text.empty()) return std::nullopt;
  constexpr int64_t kCentury = int64_t{100} * 365 * 24 * 3600;
  int64_t seconds = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    seconds = std::min<int64_t>(kCentury, seconds * 10 + (c - '0'));
  }
  return negative ? -seconds : seconds;
}

// Position of the first of the characters at or after pos, or the end.
std::size_t findAny(std::string_view text, std::string_view chars, std::size_t pos) {
  const std::size_t found = text.find_first_of(chars, pos);
  return found == std::string_view::npos ? text.size() : found;
}

}  // namespace

void parseSetCookie(std::string_view text, StockedCookie& cookie) {
  cookie = StockedCookie();
  std::size_t pos = skipSpaces(text, 0);
  std::size_t end = findAny(text, "=", pos);
  cookie.name = std::string(text.substr(pos, end - pos));
  pos = end;
  if (pos < text.size()) {
    ++pos;
    end = findAny(text, ";", pos);
    cookie.value = std::string(text.substr(pos, end - pos));
    pos = end;
  }
  while (pos < text.size() && text[pos] == ';') {
    pos = skipSpaces(text, pos + 1);
    end = findAny(text, "=;", pos);
    // "Secure ; HttpOnly": blanks around a name are no part of it.
    const std::string_view name = trimBlanks(text.substr(pos, end - pos));
    pos = end;
    if (pos < text.size() && text[pos] == '=') {
      ++pos;
      end = findAny(text, ";", pos);
      const std::string_view value = text.substr(pos, end - pos);
      pos = end;
      if (text::iequals(name, "path"))
        cookie.path = std::string(value);
      else if (text::iequals(name, "expires"))
        cookie.expires = std::string(value);
      else if (text::iequals(name, "max-age") && parseMaxAge(value))
        cookie.maxAge = parseMaxAge(value);
    } else if (pos < text.size() || !name.empty()) {
      // A value-less attribute is the flag, also when it ends the text; a
      // closing ";" with nothing after it is no attribute. HttpOnly limits
      // nothing on the request side, so it must not erase a secure flag.
      if (!(text::iequals(name, "HttpOnly") && text::iequals(cookie.flag, "secure")))
        cookie.flag = std::string(name);
    }
  }
}

void parseCookieHeader(std::string_view text, RequestCookies& cookies) {
  std::size_t pos = 0;
  while (pos < text.size()) {
    pos = skipSpaces(text, pos);
    const std::size_t eq = text.find('=', pos);
    if (eq == std::string_view::npos) return;  // a trailing name without "=" is dropped
    const std::size_t end = findAny(text, ";", eq + 1);
    cookies.emplace(std::string(text.substr(pos, eq - pos)),
                    std::string(text.substr(eq + 1, end - eq - 1)));
    pos = end < text.size() ? end + 1 : end;
  }
}

std::string formatCookieHeader(const RequestCookies& cookies) {
  std::string out;
  for (const auto& [name, value] : cookies) out.append(name).append("=").append(value).append("; ");
  return out;
}

}  // namespace vantomer
