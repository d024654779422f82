#include "config/redis_url.h"

#include <cctype>
#include <optional>

namespace vantomer {
namespace {

int hexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Undoes %XX escapes, so that a password may hold ":", "@" or "/".
bool percentDecode(std::string_view text, std::string& out) {
  out.clear();
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '%') {
      out.push_back(text[i]);
      continue;
    }
    if (i + 2 >= text.size()) return false;
    const int high = hexValue(text[i + 1]);
    const int low = hexValue(text[i + 2]);
    if (high < 0 || low < 0) return false;
    out.push_back(static_cast<char>(high * 16 + low));
    i += 2;
  }
  return true;
}

// A decimal number of at most max, digits only.
bool readNumber(std::string_view text, long long max, long long& value) {
  if (text.empty() || text.size() > 10) return false;
  value = 0;
  for (char c : text) {
    if (!std::isdigit(static_cast<unsigned char>(c))) return false;
    value = value * 10 + (c - '0');
  }
  return value <= max;
}

bool fail(std::string& reason, std::string text) {
  reason = std::move(text);
  return false;
}

// "[USER]:PASSWORD@" in front of the rest, when there is an "@".
bool readCredentials(std::string_view& rest, RedisAddress& address, std::string& reason) {
  const std::size_t at = rest.rfind('@');
  if (at == std::string_view::npos) return true;
  const std::string_view credentials = rest.substr(0, at);
  rest.remove_prefix(at + 1);
  const std::size_t colon = credentials.find(':');
  if (colon == std::string_view::npos)
    return fail(reason, "credentials must be written \":PASSWORD@\" or \"USER:PASSWORD@\"");
  if (!percentDecode(credentials.substr(0, colon), address.user) ||
      !percentDecode(credentials.substr(colon + 1), address.password))
    return fail(reason, "a bad %-escape in the credentials");
  if (address.password.empty()) return fail(reason, "an empty password");
  return true;
}

bool readDatabase(std::string_view text, RedisAddress& address, std::string& reason) {
  long long value = 0;
  if (!readNumber(text, 2147483647, value))
    return fail(reason, "the database must be a number from 0, not \"" + std::string(text) + "\"");
  address.database = static_cast<int32_t>(value);
  return true;
}

bool parseTcp(std::string_view rest, RedisAddress& address, std::string& reason) {
  const std::size_t slash = rest.find('/');
  std::string_view authority = rest.substr(0, slash);
  if (!readCredentials(authority, address, reason)) return false;
  std::string_view hostText = authority;
  std::optional<std::string_view> portText;
  if (authority.starts_with('[')) {
    const std::size_t close = authority.find(']');
    if (close == std::string_view::npos) return fail(reason, "an IPv6 address without \"]\"");
    hostText = authority.substr(1, close - 1);
    const std::string_view after = authority.substr(close + 1);
    if (!after.empty() && !after.starts_with(':'))
      return fail(reason, "text after the IPv6 address");
    if (!after.empty()) portText = after.substr(1);
  } else {
    const std::size_t colon = authority.find(':');
    hostText = authority.substr(0, colon);
    if (colon != std::string_view::npos) portText = authority.substr(colon + 1);
  }
  if (hostText.empty()) return fail(reason, "no host");
  address.host = std::string(hostText);
  if (portText) {
    long long port = 0;
    if (!readNumber(*portText, 65535, port) || port == 0)
      return fail(reason, "the port must be a number from 1 to 65535");
    address.port = static_cast<unsigned>(port);
  }
  if (slash == std::string_view::npos) return true;
  const std::string_view path = rest.substr(slash + 1);
  if (path.empty()) return true;
  if (path.find_first_of("?#") != std::string_view::npos)
    return fail(reason, "a query or fragment after the database");
  return readDatabase(path, address, reason);
}

bool parseUnix(std::string_view rest, RedisAddress& address, std::string& reason) {
  const std::size_t slash = rest.find('/');
  if (slash == std::string_view::npos) return fail(reason, "no socket path");
  std::string_view credentials = rest.substr(0, slash);
  if (!credentials.empty()) {
    if (!credentials.ends_with('@')) return fail(reason, "a host in a unix:// URL");
    if (!readCredentials(credentials, address, reason)) return false;
  }
  std::string_view path = rest.substr(slash);
  std::string_view query;
  const std::size_t mark = path.find('?');
  if (mark != std::string_view::npos) {
    query = path.substr(mark + 1);
    path = path.substr(0, mark);
  }
  if (path.size() < 2) return fail(reason, "no socket path");
  address.socketPath = std::string(path);
  if (mark == std::string_view::npos) return true;
  if (!query.starts_with("db=")) return fail(reason, "the only query parameter is db=N");
  return readDatabase(query.substr(3), address, reason);
}

}  // namespace

std::string RedisAddress::describe() const {
  std::string text;
  if (!socketPath.empty()) {
    text = "unix:" + socketPath;
  } else if (host.find(':') != std::string::npos) {
    text = "[" + host + "]:" + std::to_string(port);
  } else {
    text = host + ":" + std::to_string(port);
  }
  if (database != 0) text += " db " + std::to_string(database);
  return text;
}

bool parseRedisUrl(std::string_view url, RedisAddress& address, std::string& reason) {
  address = RedisAddress();
  for (char c : url)
    if (static_cast<unsigned char>(c) <= 0x20 || c == 0x7F)
      return fail(reason, "blanks or control characters in the URL");
  if (url.starts_with("redis://")) return parseTcp(url.substr(8), address, reason);
  if (url.starts_with("unix://")) return parseUnix(url.substr(7), address, reason);
  if (url.starts_with("rediss://")) return fail(reason, "TLS (rediss://) is not supported");
  return fail(reason, "not a redis:// or unix:// URL");
}

}  // namespace vantomer
