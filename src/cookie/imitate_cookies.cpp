#include "cookie/imitate_cookies.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "cookie/cookie_change.h"
#include "http/url_format.h"
#include "platform/text.h"

namespace vantomer {
namespace {

// Whether a browser reads the URL as "//authority...": it drops leading
// controls and spaces and every tab and line break, and takes "\" for "/".
bool namesAuthority(std::string_view url) {
  std::size_t i = 0;
  while (i < url.size() && static_cast<unsigned char>(url[i]) <= 0x20) ++i;
  int slashes = 0;
  for (; i < url.size() && slashes < 2; ++i) {
    const char c = url[i];
    if (c == '\t' || c == '\n' || c == '\r') continue;
    if (c != '/' && c != '\\') break;
    ++slashes;
  }
  return slashes == 2;
}

struct Marker {
  std::string host;  // this site, as the request named it
  std::string mark;

  // The URL with the key mark in front of its last path segment, or nothing
  // when it does not lead back to this site or has nothing to mark. result
  // receives the parse result.
  std::optional<std::string> markUrl(std::string_view url, HRESULT& result) const {
    ParsedUrl parsed;
    result = parsed.parse(url);
    if (result != S_OK) return std::nullopt;
    if (!parsed.scheme.empty()) {
      // An absolute URL must name this host; an empty host is no relative URL.
      if (parsed.host.empty() || !text::iequals(parsed.host, host)) return std::nullopt;
    } else if (namesAuthority(url)) {
      // "//host/path" leaves the site unless host is this one; the key must
      // never be handed to another site.
      if (url.substr(0, 2) != "//") return std::nullopt;
      ParsedUrl network;
      // Known to be http: the scheme is ours.
      (void)network.parse("http:" + std::string(url));
      if (network.host.empty() || !text::iequals(network.host, host)) return std::nullopt;
      if (network.path.empty() && network.query.empty()) return std::nullopt;
      insertKeyMark(network.path, mark);
      return "//" + network.host + network.path + network.query + network.fragment;
    }
    if (parsed.path.empty() && parsed.query.empty()) return std::nullopt;
    insertKeyMark(parsed.path, mark);
    return parsed.format();
  }

  // Marks the attribute of every selected element; stops at the first
  // failing DOM call and returns the code of the last operation.
  HRESULT markAll(dom::Document& document, std::string_view xpath,
                  std::string_view attribute) const {
    std::vector<dom::Node> nodes;
    HRESULT result = document.selectNodes(xpath, nodes);
    for (std::size_t i = 0; i < nodes.size() && succeeded(result); ++i) {
      std::string value;
      result = nodes[i].getAttribute(attribute, value);
      if (result != S_OK) continue;  // absent, or a failure that ends the loop
      if (auto marked = markUrl(value, result)) result = nodes[i].setAttribute(attribute, *marked);
    }
    return result;
  }
};

}  // namespace

HRESULT imitateCookies(const FilterSettings& settings, CookieStore& store,
                       const RequestFacts& request, HeldResponse& response,
                       dom::Document& document) {
  std::string key = request.stockKey;

  const auto cookies = response.headers.equal_range(std::string_view("Set-Cookie"));
  if (cookies.first != cookies.second) {
    std::vector<std::string_view> values;
    for (auto it = cookies.first; it != cookies.second; ++it) values.push_back(it->second);
    // An empty key is given a new one, which the links then carry; so is
    // every key when keys are renewed.
    CaptureOptions options;
    options.requestPath = request.basePath ? std::string_view(*request.basePath) : "";
    options.renewKey = settings.cookieStockerRenewKey;
    (void)store.capture(key, values, request.userAgent, options);
  }

  HRESULT result = S_OK;
  if (key.empty()) return result;

  Marker marker;
  marker.host = request.host;
  marker.mark = settings.cookiePaddingMarkL + key + settings.cookiePaddingMarkR;

  auto location = findHeader(response.headers, "Location");
  if (location != response.headers.end()) {
    if (auto marked = marker.markUrl(location->second, result)) location->second = *marked;
  }
  result = marker.markAll(document, "//a", "href");
  if (succeeded(result)) result = marker.markAll(document, "//form", "action");
  return result;
}

}  // namespace vantomer
