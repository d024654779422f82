// Restoration, capture with link marking and location correction against a
// tiny stand-in for the host's side of the filter context, with the real DOM
// and the process-wide stock and settings.

#include "cookie/cookie_imitation.h"

#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "filter/process_objects.h"

namespace vantomer {
namespace {

// Server variables and request headers, with the host's buffer rules: FALSE
// when the value and its NUL do not fit.
class FakeHost {
 public:
  FakeHost() {
    pfc.ServerContext = this;
    pfc.GetServerVariable = &getServerVariable;
    record.GetHeader = &getHeader;
    record.SetHeader = &setHeader;
  }
  FakeHost(const FakeHost&) = delete;

  HTTP_FILTER_CONTEXT pfc{};
  HTTP_FILTER_PREPROC_HEADERS record{};
  std::map<std::string, std::string> variables;
  std::map<std::string, std::string> headers;  // names with their colon
  std::vector<std::pair<std::string, std::string>> headersSet;
  bool refuseSetHeader = false;

 private:
  static FakeHost& self(HTTP_FILTER_CONTEXT* pfc) {
    return *static_cast<FakeHost*>(pfc->ServerContext);
  }
  static BOOL copyOut(const std::map<std::string, std::string>& from, const char* name,
                      void* buffer, DWORD* size) {
    auto it = from.find(name);
    if (it == from.end()) return FALSE;
    const DWORD needed = static_cast<DWORD>(it->second.size() + 1);
    if (needed > *size) {
      *size = needed;
      return FALSE;
    }
    std::memcpy(buffer, it->second.c_str(), needed);
    *size = needed;
    return TRUE;
  }
  static BOOL getServerVariable(HTTP_FILTER_CONTEXT* pfc, LPSTR name, LPVOID buffer, LPDWORD size) {
    return copyOut(self(pfc).variables, name, buffer, size);
  }
  static BOOL getHeader(HTTP_FILTER_CONTEXT* pfc, LPSTR name, LPVOID buffer, LPDWORD size) {
    return copyOut(self(pfc).headers, name, buffer, size);
  }
  static BOOL setHeader(HTTP_FILTER_CONTEXT* pfc, LPSTR name, LPSTR value) {
    FakeHost& host = self(pfc);
    if (host.refuseSetHeader) return FALSE;
    host.headersSet.emplace_back(name, value);
    host.headers[name] = value;
    return TRUE;
  }
};

std::string stockUnderNewKey(const std::vector<std::string>& setCookies, const char* ua = "UA") {
  std::string key;
  for (const auto& value : setCookies) cookieStocker().capture(key, value, ua);
  return key;
}

TEST(RestoreRequestCookies, CookieHeaderFromStockAndHandset) {
  const struct {
    const char* name;
    std::vector<std::string> stocked;
    std::optional<std::string> sent;  // the handset's own "Cookie:"
    const char* https;                // nullptr: variable absent
    const char* url;
    std::string expected;
  } cases[] = {
      {"nothing applies", {"a=1; path=/other"}, std::nullopt, nullptr, "/", ""},
      {"handset wins, sorted", {"a=9", "c=3"}, "b=2; a=1", nullptr, "/", "a=1; b=2; c=3; "},
      {"secure request",
       {"s=1; secure", "h=2; HttpOnly", "o=3; foo", "p=4", "sh=5; Secure; HttpOnly"},
       std::nullopt,
       "ON",
       "/",
       "h=2; p=4; s=1; sh=5; "},
      {"plain request",
       {"s=1; secure", "h=2; HttpOnly", "o=3; foo", "p=4", "sh=5; Secure; HttpOnly"},
       std::nullopt,
       "off",
       "/",
       "h=2; p=4; "},
      {"path prefix with query", {"a=1; path=/a"}, std::nullopt, nullptr, "/a?x=1", "a=1; "},
      {"path prefix without boundary", {"a=1; path=/a"}, std::nullopt, nullptr, "/abc", "a=1; "},
      {"path case differs", {"a=1; path=/a"}, std::nullopt, nullptr, "/A", ""},
      {"path elsewhere", {"a=1; path=/a"}, std::nullopt, nullptr, "/b/a", ""},
      {"first path in order wins",
       {"a=shop; path=/shop", "a=root; path=/"},
       std::nullopt,
       nullptr,
       "/shop/x",
       "a=root; "},
      {"overlong header counts as empty",
       {"a=1"},
       std::string(4095, 'x') + "=1",
       nullptr,
       "/",
       "a=1; "},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    cookieStocker().clear();
    FakeHost host;
    host.variables["HTTP_USER_AGENT"] = "UA";
    if (c.https) host.variables["HTTPS"] = c.https;
    if (c.sent) host.headers["Cookie:"] = *c.sent;
    const std::string key = stockUnderNewKey(c.stocked);
    ASSERT_EQ(restoreRequestCookies(&host.pfc, &host.record, key, c.url), S_OK);
    ASSERT_EQ(host.headersSet.size(), 1u);
    EXPECT_EQ(host.headersSet[0].first, "Cookie:");
    EXPECT_EQ(host.headersSet[0].second, c.expected);
  }
}

TEST(RestoreRequestCookies, NoStockForThisHandset) {
  cookieStocker().clear();
  FakeHost host;
  host.variables["HTTP_USER_AGENT"] = "Other";
  host.headers["Cookie:"] = "mine=1";
  const std::string key = stockUnderNewKey({"a=1"}, "UA");

  EXPECT_EQ(restoreRequestCookies(&host.pfc, &host.record, "unknown", "/"), S_FALSE);
  EXPECT_EQ(restoreRequestCookies(&host.pfc, &host.record, key, "/"), S_FALSE);
  EXPECT_TRUE(host.headersSet.empty());
  EXPECT_EQ(host.headers["Cookie:"], "mine=1");

  // Another User-Agent ended the entry for the first handset too.
  host.variables["HTTP_USER_AGENT"] = "UA";
  EXPECT_EQ(restoreRequestCookies(&host.pfc, &host.record, key, "/"), S_FALSE);
}

TEST(RestoreRequestCookies, RefusedHeaderIsAFailure) {
  cookieStocker().clear();
  FakeHost host;
  host.variables["HTTP_USER_AGENT"] = "UA";
  host.refuseSetHeader = true;
  const std::string key = stockUnderNewKey({"a=1"});
  EXPECT_EQ(restoreRequestCookies(&host.pfc, &host.record, key, "/"), E_FAIL);
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
    const char* baseName = "";
    std::map<std::string, std::string> extra = {};
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
      {"next.html",
       "http://h.example:8080/app/x/next.html",
       false,
       "BASE",
       {{"BASE", "/app/x/page"}}},
      {"next.html", "http://h.example:8080/shop/next.html", false, "MISSING"},
      {"next.html", "http://h.example:8080/next.html", false, "BASE", {{"BASE", "page"}}},
      {"/top", "http://h.example:8080/top", false, "BASE", {{"BASE", "/app/x/page"}}},
  };
  const std::string savedBaseName = filterSettings().locationCorrectBasePathSVName;
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.location) + " " + c.baseName);
    FakeHost host;
    host.variables = {{"HTTP_HOST", "h.example:8080"}, {"URL", "/shop/cart.asp"}};
    host.variables["HTTPS"] = c.secure ? "on" : "off";
    for (const auto& [name, value] : c.extra) host.variables[name] = value;
    filterSettings().locationCorrectBasePathSVName = c.baseName;
    HeldResponse response = responseWith({{"location", c.location}});
    EXPECT_EQ(correctLocation(OutputCoordinator(), &host.pfc, response), S_OK);
    EXPECT_EQ(headerValue(response, "Location"), c.expected);
  }
  filterSettings().locationCorrectBasePathSVName = savedBaseName;
}

class ImitateCookies : public ::testing::Test {
 protected:
  void SetUp() override {
    dom::initialize();
    cookieStocker().clear();
    saved = filterSettings();
    host.variables = {{"HTTP_HOST", "h.example"}, {"HTTP_USER_AGENT", "UA"}};
  }
  void TearDown() override { filterSettings() = saved; }

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

  FilterSettings saved;
  FakeHost host;
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
  host.variables["HTTP_X_COOKIE_STOCK_KEY"] = "K";
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
    EXPECT_EQ(imitateCookies(OutputCoordinator(), &host.pfc, response, document), c.result);
    EXPECT_EQ(attributes("//a", "href"), std::vector<std::string>{c.expected});
    EXPECT_EQ(attributes("//form", "action"), std::vector<std::string>{c.expected});
    EXPECT_EQ(headerValue(response, "Location"), c.expected);
  }
  EXPECT_EQ(cookieStocker().size(), 0u);
}

TEST_F(ImitateCookies, NoCookieNoKeyChangesNothing) {
  host.variables["HTTP_HOST"] = "h.example";
  load("<html><a href='/x'/><form action='/y'/></html>");
  HeldResponse response = responseWith({{"Location", "/z"}});
  EXPECT_EQ(imitateCookies(OutputCoordinator(), &host.pfc, response, document), S_OK);
  EXPECT_EQ(attributes("//a", "href"), std::vector<std::string>{"/x"});
  EXPECT_EQ(attributes("//form", "action"), std::vector<std::string>{"/y"});
  EXPECT_EQ(headerValue(response, "Location"), "/z");
  EXPECT_EQ(cookieStocker().size(), 0u);
}

TEST_F(ImitateCookies, CookiesGoUnderOneNewKeyThatMarksEverything) {
  load(
      "<html><body><a href='/a/b.html'/><p><a href='c.html'/><a name='x'/></p>"
      "<form action='/post'/><form/><A href='/big'/></body></html>");
  HeldResponse response = responseWith({{"Set-Cookie", "sid=1; path=/"},
                                        {"Location", "http://h.example/next/page.html"},
                                        {"set-cookie", "lang=ja"}});
  // The last form has no action: the result says so.
  EXPECT_EQ(imitateCookies(OutputCoordinator(), &host.pfc, response, document), S_FALSE);

  ASSERT_EQ(cookieStocker().size(), 1u);
  const std::string location = headerValue(response, "Location");
  const std::string prefix = "http://h.example/next/(=";
  ASSERT_EQ(location.compare(0, prefix.size(), prefix), 0) << location;
  const std::size_t end = location.find("=)page.html");
  ASSERT_NE(end, std::string::npos);
  const std::string key = location.substr(prefix.size(), end - prefix.size());
  EXPECT_EQ(key.substr(16, 2), "0x");

  auto cookies = cookieStocker().lookup(key, "UA");
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

TEST_F(ImitateCookies, KeyAndMarksFromTheSettings) {
  filterSettings().cookieStockKey = "HTTP_MY_KEY";
  filterSettings().cookiePaddingMarkL = "~[";
  filterSettings().cookiePaddingMarkR = "]~";
  host.variables["HTTP_MY_KEY"] = "given";
  host.variables["HTTP_X_COOKIE_STOCK_KEY"] = "ignored";
  load("<html><a href='/x'/></html>");
  HeldResponse response = responseWith({{"Set-Cookie", "a=1"}, {"Location", "y"}});
  EXPECT_EQ(imitateCookies(OutputCoordinator(), &host.pfc, response, document), S_OK);
  EXPECT_EQ(attributes("//a", "href"), std::vector<std::string>{"/~[given]~x"});
  EXPECT_EQ(headerValue(response, "Location"), "~[given]~y");
  EXPECT_TRUE(cookieStocker().lookup("given", "UA"));
}

}  // namespace
}  // namespace vantomer
