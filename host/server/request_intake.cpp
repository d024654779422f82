#include "server/request_intake.h"

#include <boost/beast/http/error.hpp>

#include "binding/headers.h"

namespace vantomer::host {
namespace {

namespace http = boost::beast::http;

// "http://host/path?q" becomes "/path?q" with the authority "host";
// anything else but an origin-form target is refused.
bool requestTarget(std::string_view target, std::string& url, std::string& authority) {
  if (!target.empty() && target.front() == '/') {
    url = std::string(target);
    return true;
  }
  for (std::string_view scheme : {"http://", "https://"}) {
    if (target.size() > scheme.size() && iequalsAscii(target.substr(0, scheme.size()), scheme)) {
      const std::size_t slash = target.find('/', scheme.size());
      url = slash == std::string_view::npos ? "/" : std::string(target.substr(slash));
      authority = std::string(target.substr(scheme.size(), slash - scheme.size()));
      return !authority.empty() && authority.find_first_of("@?#") == std::string::npos;
    }
  }
  return false;
}

std::string_view trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

}  // namespace

int statusForParseError(const error_code& ec) {
  if (ec == http::error::header_limit) return 431;
  if (ec == http::error::body_limit) return 413;
  if (ec == http::error::buffer_overflow) return 431;
  return 400;
}

int takeHead(const http::request_header<>& message, RequestHead& request, AccessRecord& record) {
  request.method = std::string(message.method_string());
  const std::string_view target = message.target();
  request.version = message.version() == 10 ? "HTTP/1.0" : "HTTP/1.1";
  record.requestLine = request.method + " " + std::string(target) + " " + request.version;
  int hosts = 0;
  int codings = 0;
  bool badCoding = false;
  bool length = false;
  for (const auto& field : message) {
    const std::string_view name = field.name_string();
    // As common front ends do: X_Cookie_Stock_Key would otherwise pose as
    // X-Cookie-Stock-Key among the server variables.
    if (name.find('_') != std::string_view::npos) continue;
    if (iequalsAscii(name, "Host")) ++hosts;
    if (iequalsAscii(name, "Content-Length")) length = true;
    if (iequalsAscii(name, "Transfer-Encoding")) {
      ++codings;
      if (!iequalsAscii(trim(field.value()), "chunked")) badCoding = true;
    }
    request.headers.push_back({std::string(name), std::string(field.value())});
  }
  record.referer = findHeader(request.headers, "Referer").value_or("");
  record.userAgent = findHeader(request.headers, "User-Agent").value_or("");
  if (message.version() != 10 && message.version() != 11) return 505;
  // Any framing but exactly "chunked" would let the body run on as a second
  // request.
  if (codings > 1 || badCoding || (codings && length)) return 400;
  if (hosts > 1 || (hosts == 0 && message.version() == 11)) return 400;
  std::string authority;
  if (!requestTarget(target, request.url, authority)) return 400;
  if (!authority.empty()) {
    removeHeaders(request.headers, "Host");
    request.headers.push_back({"Host", authority});
  }
  return 0;
}

}  // namespace vantomer::host
