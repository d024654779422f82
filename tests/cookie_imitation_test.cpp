// Restoration, capture with link marking and location correction on the
// request's facts, with the real DOM and the in-memory stock.

#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "cookie/cookie_stocker.h"
#include "cookie/correct_location.h"
#include "cookie/imitate_cookies.h"
#include "cookie/restore_request_cookies.h"
#include "http/header_map.h"

namespace vantomer {
namespace {

std::string stockUnderNewKey(CookieStocker& stock, const std::vector<std::string>& setCookies,
                             const char* ua = "UA") {
  std::string key;
  for (const auto& value : setCookies) stock.capture(key, value, ua);
  return key;
}

RequestFacts handset(const char* userAgent = "UA") {
  RequestFacts request;
  request.userAgent = userAgent;
  return request;
}

TEST(RestoreRequestCookies, CookieHeaderFromStockAndHandset) {
  const struct {
    const char* name;
    std::vector<std::string> stocked;
    std::optional<std::string> sent;  // the handset's own "Cookie:"
    bool secure;
    const char* url;
    std::string expected;
  } cases[] = {
      {"nothing applies", {"a=1; path=/other"}, std::nullopt, false, "/", ""},
      {"handset wins, sorted", {"a=9", "c=3"}, "b=2; a=1", false, "/", "a=1; b=2; c=3; "},
      {"secure request",
       {"s=1; secure", "h=2; HttpOnly", "o=3; foo", "p=4", "sh=5; Secure; HttpOnly"},
       std::nullopt,
       true,
       "/",
       "h=2; p=4; s=1; sh=5; "},
      {"plain request",
       {"s=1; secure", "h=2; HttpOnly", "o=3; foo", "p=4", "sh=5; Secure; HttpOnly"},
       std::nullopt,
       false,
       "/",
       "h=2; p=4; "},
      {"path prefix with query", {"a=1; path=/a"}, std::nullopt, false, "/a?x=1", "a=1; "},
      {"path prefix without boundary", {"a=1; path=/a"}, std::nullopt, false, "/abc", "a=1; "},
      {"path case differs", {"a=1; path=/a"}, std::nullopt, false, "/A", ""},
      {"path elsewhere", {"a=1; path=/a"}, std::nullopt, false, "/b/a", ""},
      {"first path in order wins",
       {"a=shop; path=/shop", "a=root; path=/"},
       std::nullopt,
       false,
       "/shop/x",
       "a=root; "},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    CookieStocker stock;
    RequestFacts request = handset();
    request.secure = c.secure;
    request.cookieHeader = c.sent;
    const std::string key = stockUnderNewKey(stock, c.stocked);
    std::string header = "(unset)";
    ASSERT_EQ(restoreRequestCookies(stock, request, key, c.url, header), S_OK);
    EXPECT_EQ(header, c.expected);
  }
}

TEST(RestoreRequestCookies, NoStockForThisHandset) {
  CookieStocker stock;
  RequestFacts other = handset("Other");
  other.cookieHeader = "mine=1";
  const std::string key = stockUnderNewKey(stock, {"a=1"}, "UA");

  std::string header = "(unset)";
  EXPECT_EQ(restoreRequestCookies(stock, other, "unknown", "/", header), S_FALSE);
  EXPECT_EQ(restoreRequestCookies(stock, other, key, "/", header), S_FALSE);
  EXPECT_EQ(header, "(unset)");

  // Another User-Agent ended the entry for the first handset too.
  EXPECT_EQ(restoreRequestCookies(stock, handset("UA"), key, "/", header), S_FALSE);
}

HeldResponse responseWith(std::initializer_list<std::pair<const char*, const char*>> headers) {
  HeldResponse response;
  response.version = "HTTP/1.1";
  response.statusCode = 200;
  response.reasonPhrase = "OK";
  for (const auto& [name, value] : headers) response.headers.emplace(name, value);
  return response;
}

std::string headerValue(const HeldResponse& response, const char* name) {
  auto it = findHeader(response.headers, name);
  return it == response.headers.end() ? "(none)" : it->second;
}

TEST(CorrectLocation, MakesRelativeLocationsAbsolute) {
  const struct {
    const char* location;
    const char* expected;
    bool secure = false;
    std::optional<std::string> basePath = "/shop/cart.asp";
  } cases[] = {
      {"next.html", "http://h.example:8080/shop/next.html"},
      {"/top", "http://h.example:8080/top"},
      {"../up.html", "http://h.example:8080/shop/../up.html"},
      {"?page=2", "http://h.example:8080/shop/?page=2"},
      {"#a", "http://h.example:8080/shop/#a"},
      {"", "http://h.example:8080/shop/"},
      {"http://other.example/x", "http://other.example/x"},
      {"https://other.example", "https://other.example"},
      {"mailto:a@b", "mailto:a@b"},
      {"HTTP://h/x", "HTTP://h/x"},
      {"next.html", "https://h.example:8080/shop/next.html", true},
      // A network path keeps its own host and only gains the scheme.
      {"//x.example/p", "http://x.example/p"},
      {"//x.example/p", "https://x.example/p", true},
      {"next.html", "http://h.example:8080/app/x/next.html", false, "/app/x/page"},
      {"next.html", "http://h.example:8080/next.html", false, "page"},
      {"next.html", "http://h.example:8080/next.html", false, std::nullopt},
      {"/top", "http://h.example:8080/top", false, "/app/x/page"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.location) + " " + c.basePath.value_or("(none)"));
    RequestFacts request;
    request.host = "h.example:8080";
    request.secure = c.secure;
    request.basePath = c.basePath;
    HeldResponse response = responseWith({{"location", c.location}});
    EXPECT_EQ(correctLocation(request, response), S_OK);
    EXPECT_EQ(headerValue(response, "Location"), c.expected);
  }
}

class ImitateCookies : public ::testing::Test {
 protected:
  void SetUp() override {
    dom::initialize();
    request.host = "h.example";
    request.userAgent = "UA";
  }
  HRESULT imitate(HeldResponse& response) {
    return imitateCookies(settings, stock, request, response, document);
  }

  void load(const std::string& xml) { ASSERT_EQ(document.loadXML(xml), S_OK); }
  std::vector<std::string> attributes(const char* xpath, const char* name) {
    std::vector<dom::Node> nodes;
    EXPECT_EQ(document.selectNodes(xpath, nodes), S_OK) << xpath;
    std::vector<std::string> values;
    for (auto& node : nodes) {
      std::string value;
      values.push_back(node.getAttribute(name, value) == S_OK ? value : "(none)");
    }
    return values;
  }

  FilterSettings settings;
  CookieStocker stock;
  RequestFacts request;
  dom::Document document;
};

TEST_F(ImitateCookies, MarksOnlyLinksBackToThisSite) {
  const struct {
    const char* href;
    const char* expected;
    HRESULT result;
  } cases[] = {
      {"/shop/list.html?p=2", "/shop/(=K=)list.html?p=2", S_OK},
      {"detail.html", "(=K=)detail.html", S_OK},
      {"/", "/(=K=)", S_OK},
      {"?page=2", "(=K=)?page=2", S_OK},
      {"#top", "#top", S_OK},
      {"", "", S_OK},
      {"http://H.Example/x/y.html#f", "http://H.Example/x/(=K=)y.html#f", S_OK},
      {"https://h.example/", "https://h.example/(=K=)", S_OK},
      {"http://h.example", "http://h.example", S_OK},
      {"http://h.example?x=1", "http://h.example?x=1", S_OK},
      {"http://other.example/x", "http://other.example/x", S_OK},
      {"http://h.example.evil/x", "http://h.example.evil/x", S_OK},
      {"HTTP://h.example/x", "HTTP://h.example/x", S_FALSE},
      {"mailto:a@h.example", "mailto:a@h.example", S_FALSE},
      {"javascript:go('/x')", "javascript:go('/x')", S_FALSE},
      // The key must never be written into a link that leaves the site.
      {"//other.example/x", "//other.example/x", S_OK},
      {"//H.EXAMPLE/a/b", "//H.EXAMPLE/a/(=K=)b", S_OK},
      {"//h.example", "//h.example", S_OK},
      {" //other.example/x", " //other.example/x", S_OK},
      {"/\\other.example/x", "/\\other.example/x", S_OK},
      {"/\t/other.example/x", "/\t/other.example/x", S_OK},
      {"http:///other.example/x", "http:///other.example/x", S_OK},
  };
  request.stockKey = "K";
  for (const auto& c : cases) {
    SCOPED_TRACE(c.href);
    // The same URL as a link, as a form and as Location; the result is the
    // parse result of the form's URL, the last one looked at.
    dom::Node root, link, form;
    load("<html/>");
    ASSERT_EQ(document.documentElement(root), S_OK);
    ASSERT_EQ(document.createElement("a", link), S_OK);
    ASSERT_EQ(link.setAttribute("href", c.href), S_OK);
    ASSERT_EQ(root.appendChild(link), S_OK);
    ASSERT_EQ(document.createElement("form", form), S_OK);
    ASSERT_EQ(form.setAttribute("action", c.href), S_OK);
    ASSERT_EQ(root.appendChild(form), S_OK);
    HeldResponse response = responseWith({{"Location", c.href}});
    EXPECT_EQ(imitate(response), c.result);
    EXPECT_EQ(attributes("//a", "href"), std::vector<std::string>{c.expected});
    EXPECT_EQ(attributes("//form", "action"), std::vector<std::string>{c.expected});
    EXPECT_EQ(headerValue(response, "Location"), c.expected);
  }
  EXPECT_EQ(stock.size(), 0u);
}

TEST_F(ImitateCookies, NoCookieNoKeyChangesNothing) {
  load("<html><a href='/x'/><form action='/y'/></html>");
  HeldResponse response = responseWith({{"Location", "/z"}});
  EXPECT_EQ(imitate(response), S_OK);
  EXPECT_EQ(attributes("//a", "href"), std::vector<std::string>{"/x"});
  EXPECT_EQ(attributes("//form", "action"), std::vector<std::string>{"/y"});
  EXPECT_EQ(headerValue(response, "Location"), "/z");
  EXPECT_EQ(stock.size(), 0u);
}

TEST_F(ImitateCookies, CookiesGoUnderOneNewKeyThatMarksEverything) {
  load(
      "<html><body><a href='/a/b.html'/><p><a href='c.html'/><a name='x'/></p>"
      "<form action='/post'/><form/><A href='/big'/></body></html>");
  HeldResponse response = responseWith({{"Set-Cookie", "sid=1; path=/"},
                                        {"Location", "http://h.example/next/page.html"},
                                        {"set-cookie", "lang=ja"}});
  // The last form has no action: the result says so.
  EXPECT_EQ(imitate(response), S_FALSE);

  ASSERT_EQ(stock.size(), 1u);
  const std::string location = headerValue(response, "Location");
  const std::string prefix = "http://h.example/next/(=";
  ASSERT_EQ(location.compare(0, prefix.size(), prefix), 0) << location;
  const std::size_t end = location.find("=)page.html");
  ASSERT_NE(end, std::string::npos);
  const std::string key = location.substr(prefix.size(), end - prefix.size());
  EXPECT_EQ(key.substr(16, 2), "0x");

  auto cookies = stock.lookup(key, "UA");
  ASSERT_TRUE(cookies);
  EXPECT_EQ(cookies->size(), 2u);

  const std::string mark = "(=" + key + "=)";
  EXPECT_EQ(attributes("//a", "href"),
            (std::vector<std::string>{"/a/" + mark + "b.html", mark + "c.html", "(none)"}));
  EXPECT_EQ(attributes("//form", "action"),
            (std::vector<std::string>{"/" + mark + "post", "(none)"}));
  EXPECT_EQ(attributes("//A", "href"), std::vector<std::string>{"/big"});
  // The Set-Cookie headers go out unchanged.
  EXPECT_EQ(response.headers.count("Set-Cookie"), 2u);
  EXPECT_EQ(headerValue(response, "Set-Cookie"), "sid=1; path=/");
}

TEST_F(ImitateCookies, KeyOfTheRequestAndMarksFromTheSettings) {
  settings.cookiePaddingMarkL = "~[";
  settings.cookiePaddingMarkR = "]~";
  request.stockKey = "given";
  load("<html><a href='/x'/></html>");
  HeldResponse response = responseWith({{"Set-Cookie", "a=1"}, {"Location", "y"}});
  EXPECT_EQ(imitate(response), S_OK);
  EXPECT_EQ(attributes("//a", "href"), std::vector<std::string>{"/~[given]~x"});
  EXPECT_EQ(headerValue(response, "Location"), "~[given]~y");
  EXPECT_TRUE(stock.lookup("given", "UA"));
}

}  // namespace
}  // namespace vantomer
