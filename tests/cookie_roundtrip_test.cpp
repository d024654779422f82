// Cookie imitation and location correction through the real module: the
// key travels from a Set-Cookie response in the marked links back into the
// next request.

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "support/test_host.h"

namespace vantomer::test {
namespace {

constexpr const char* kHandset = "DoCoMo/2.0 P903i(c100;TB;W24H12)";

const std::string kPage =
    "<html><body>"
    "<a href=\"/shop/list.html?p=2\">list</a>"
    "<a href=\"detail.html\">detail</a>"
    "<a href=\"http://other.example/x\">away</a>"
    "<a href=\"#top\">top</a>"
    "<form action=\"post.cgi\"><input name=\"q\"/></form>"
    "</body></html>";

std::string pageResponse(const std::string& extraHeaderLines) {
  return appResponse(kPage, "text/x-telmark; charset=UTF-8", extraHeaderLines);
}

std::string redirectResponse(const std::string& location, const std::string& extra = {}) {
  const std::string body = "<html><body>moved</body></html>";
  return "HTTP/1.1 302 Found\r\nContent-Type: text/x-telmark\r\nLocation: " + location + "\r\n" +
         extra + "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
}

class CookieRoundTrip : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { module_ = new FilterModule(settingsFile(profileElement(".*"))); }
  static void TearDownTestSuite() {
    delete module_;
    module_ = nullptr;
  }
  void SetUp() override { ASSERT_TRUE(module_->loaded()) << module_->openError(); }

  Exchange run(Request request, const std::string& response) {
    request.host = "h.example";
    Connection connection(*module_);
    Exchange exchange = connection.run(request, response);
    EXPECT_TRUE(exchange.allNextNotification());
    EXPECT_TRUE(isOneCompleteResponse(exchange.clientBytes));
    return exchange;
  }

  static FilterModule* module_;
};

FilterModule* CookieRoundTrip::module_ = nullptr;

TEST_F(CookieRoundTrip, StockedCookiesComeBackThroughMarkedLinks) {
  Request first;
  first.url = "/shop/index.html";
  first.userAgent(kHandset);
  Exchange login =
      run(first, pageResponse("Set-Cookie: sid=s1; path=/\r\nSet-Cookie: lang=ja\r\n"));
  ASSERT_EQ(login.response.statusCode(), 200);
  const std::string key = keyIn(login.response.body);
  ASSERT_FALSE(key.empty()) << login.response.body;
  const std::string mark = "(=" + key + "=)";
  const std::string& body = login.response.body;
  EXPECT_NE(body.find("href=\"/shop/" + mark + "list.html?p=2\""), std::string::npos) << body;
  EXPECT_NE(body.find("href=\"" + mark + "detail.html\""), std::string::npos) << body;
  EXPECT_NE(body.find("action=\"" + mark + "post.cgi\""), std::string::npos) << body;
  EXPECT_NE(body.find("href=\"http://other.example/x\""), std::string::npos) << body;
  EXPECT_NE(body.find("href=\"#top\""), std::string::npos) << body;
  EXPECT_EQ(login.response.headerValues("Set-Cookie"),
            (std::vector<std::string>{"sid=s1; path=/", "lang=ja"}));

  // The handset follows a marked link, sending one cookie of its own.
  Request next;
  next.url = "/shop/" + mark + "list.html?p=2";
  next.userAgent(kHandset).header("Cookie", "lang=en");
  Exchange followed = run(next, pageResponse(""));
  EXPECT_EQ(followed.url, "/shop/list.html?p=2");
  EXPECT_EQ(followed.requestHeader("Cookie"), "lang=en; sid=s1; ");
  EXPECT_EQ(followed.requestHeader("X-Cookie-Stock-Key"), key);
  // Without a new Set-Cookie the page is still marked with the same key.
  EXPECT_NE(followed.response.body.find("href=\"" + mark + "detail.html\""), std::string::npos);

  // Another User-Agent with the same key gets nothing and ends the entry.
  Request stolen = next;
  stolen.headers.clear();
  stolen.userAgent("Mozilla/5.0");
  Exchange refused = run(stolen, pageResponse(""));
  EXPECT_EQ(refused.url, "/shop/list.html?p=2");
  EXPECT_FALSE(refused.requestHeader("Cookie"));
  EXPECT_FALSE(refused.requestHeader("X-Cookie-Stock-Key"));
  EXPECT_EQ(refused.response.body.find("(="), std::string::npos);

  Exchange after = run(next, pageResponse(""));
  EXPECT_EQ(after.requestHeader("Cookie"), "lang=en");
  EXPECT_FALSE(after.requestHeader("X-Cookie-Stock-Key"));
}

TEST_F(CookieRoundTrip, RedirectIsMadeAbsoluteThenMarked) {
  const struct {
    const char* location;
    bool secure;
    const char* expectedBeforeMark;  // the mark follows, then expectedAfterMark
    const char* expectedAfterMark;
  } cases[] = {
      {"next.html", false, "http://h.example/shop/", "next.html"},
      {"/top/page?x=1", true, "https://h.example/top/", "page?x=1"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.location);
    Request request;
    request.url = "/shop/cart.asp?step=1";
    request.secure = c.secure;
    request.userAgent(kHandset);
    Exchange exchange = run(request, redirectResponse(c.location, "Set-Cookie: cart=7\r\n"));
    EXPECT_EQ(exchange.response.statusCode(), 302);
    const std::string location = exchange.response.header("Location").value_or("");
    const std::string key = keyIn(location);
    ASSERT_FALSE(key.empty()) << location;
    EXPECT_EQ(location, c.expectedBeforeMark + ("(=" + key + "=)") + c.expectedAfterMark);
  }
}

// Host values read by the module's own rules: buffer sizes, letter case,
// refusals, and the variables the settings name.
TEST_F(CookieRoundTrip, HostValuesAsTheFilterReadsThem) {
  Request first;
  first.url = "/index.html";
  first.userAgent(kHandset);
  const std::string key = keyIn(
      run(first, pageResponse("Set-Cookie: sid=s1\r\nSet-Cookie: s=2; secure\r\n")).response.body);
  ASSERT_FALSE(key.empty());

  Request next;
  next.url = "/(=" + key + "=)page.html";
  next.userAgent(kHandset).header("Cookie", std::string(4095, 'x') + "=1");
  next.serverVariables["HTTPS"] = "ON";
  // The handset's own header does not fit the filter's buffer and counts as
  // empty; "HTTPS" is read ignoring case.
  EXPECT_EQ(run(next, pageResponse("")).requestHeader("Cookie"), "s=2; sid=s1; ");

  // A host that refuses the Cookie header gets no key header either.
  next.headers.clear();
  next.userAgent(kHandset);
  next.host = "h.example";
  Connection refusing(*module_);
  refusing.failSetHeader = true;
  const Exchange refused = refusing.run(next, pageResponse(""));
  EXPECT_FALSE(refused.requestHeader("X-Cookie-Stock-Key"));
  EXPECT_TRUE(isOneCompleteResponse(refused.clientBytes));
}

TEST(CookieSettings, KeyVariableAndBasePathVariableFromTheSettings) {
  FilterModule module(
      settingsFile("<CookieStockKey>HTTP_MY_KEY</CookieStockKey>"
                   "<LocationCorrectBasePathSVName>BASE</LocationCorrectBasePathSVName>" +
                   profileElement(".*")));
  ASSERT_TRUE(module.loaded()) << module.openError();
  const struct {
    const char* name;
    std::optional<std::string> base;
    const char* location;
  } cases[] = {
      {"base variable", "/app/x/page", "http://h.example/app/x/(=given=)next.html"},
      {"no base variable: the URL", std::nullopt, "http://h.example/shop/(=given=)next.html"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Request request;
    request.url = "/shop/cart.asp";
    request.host = "h.example";
    request.userAgent(kHandset).header("My-Key", "given").header("X-Cookie-Stock-Key", "other");
    if (c.base) request.serverVariables["BASE"] = *c.base;
    Connection connection(module);
    const Exchange exchange =
        connection.run(request, redirectResponse("next.html", "Set-Cookie: a=1\r\n"));
    EXPECT_EQ(exchange.response.header("Location"), c.location);
  }
}

}  // namespace
}  // namespace vantomer::test
