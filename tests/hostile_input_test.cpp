// Hostile requests and application responses through the real module: what
// a client or an upstream sends must not choose a stock key, slip a page
// past the conversion or frame a response differently.

#include <gtest/gtest.h>

#include <string>

#include "support/test_host.h"

namespace vantomer::test {
namespace {

constexpr const char* kVictim = "DoCoMo/2.0 P903i(c100;TB;W24H12)";
constexpr const char* kAttacker = "DoCoMo/2.0 N905i(c100;TB;W24H16)";

class HostileInput : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { module_ = new FilterModule(settingsFile(profileElement(".*"))); }
  static void TearDownTestSuite() {
    delete module_;
    module_ = nullptr;
  }
  void SetUp() override { ASSERT_TRUE(module_->loaded()) << module_->openError(); }

  Exchange run(const Request& request, const std::string& response) {
    Connection connection(*module_);
    Exchange exchange = connection.run(request, response);
    EXPECT_TRUE(exchange.allNextNotification());
    return exchange;
  }
  std::string page(const std::string& setCookie = {}) {
    return appResponse("<html><a href=\"/next\">n</a></html>", "text/x-telmark; charset=UTF-8",
                       setCookie.empty() ? "" : "Set-Cookie: " + setCookie + "\r\n");
  }

  static FilterModule* module_;
};

FilterModule* HostileInput::module_ = nullptr;

TEST_F(HostileInput, OnlyTheUrlGivesTheStockKey) {
  Request login;
  login.userAgent(kVictim);
  const std::string victimKey = keyIn(run(login, page("sid=victim")).response.body);
  ASSERT_FALSE(victimKey.empty());

  for (const char* header : {"X-Cookie-Stock-Key", "X_Cookie_Stock_Key", "x-cookie-stock-key"}) {
    SCOPED_TRACE(header);
    Request forged;
    forged.userAgent(kAttacker).header(header, victimKey);
    const Exchange attack = run(forged, page("sid=attacker"));
    // Removed, or emptied where a host keeps the name.
    EXPECT_EQ(attack.requestHeader(header).value_or(""), "");
    EXPECT_EQ(attack.requestHeader("X-Cookie-Stock-Key").value_or(""), "");
    // The attacker's cookie went under a key of its own.
    const std::string given = keyIn(attack.response.body);
    EXPECT_FALSE(given.empty());
    EXPECT_NE(given, victimKey);

    // A key in the URL wins over a forged header, and the victim's entry
    // still holds the victim's session.
    Request back;
    back.url = "/(=" + victimKey + "=)next";
    back.userAgent(kVictim).header(header, "forged");
    const Exchange followed = run(back, page());
    EXPECT_EQ(followed.requestHeader("Cookie"), "sid=victim; ");
    EXPECT_EQ(followed.requestHeader("X-Cookie-Stock-Key"), victimKey);
  }
  // A key too long for the filter to read is dropped all the same.
  Request longKey;
  longKey.userAgent(kAttacker).header("X-Cookie-Stock-Key", std::string(2000, 'k'));
  EXPECT_EQ(run(longKey, page()).requestHeader("X-Cookie-Stock-Key").value_or(""), "");
}

TEST_F(HostileInput, NoBodyByDefinitionPassesUntouched) {
  const std::string telmark = "text/x-telmark; charset=UTF-8";
  const struct {
    const char* name;
    const char* method;
    std::string response;
  } cases[] = {
      {"HEAD", "HEAD", appResponse("<html/>", telmark)},
      {"204", "GET", "HTTP/1.1 204 No Content\r\nContent-Type: " + telmark + "\r\n\r\n"},
      {"304", "GET",
       "HTTP/1.1 304 Not Modified\r\nContent-Type: " + telmark + "\r\nETag: \"a\"\r\n\r\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Request request;
    request.method = c.method;
    request.userAgent(kVictim);
    EXPECT_EQ(run(request, c.response).clientBytes, c.response);
  }
}

TEST_F(HostileInput, BareLineFeedsInTheHeldHeadGiveTheErrorResponse) {
  const std::string cases[] = {
      "HTTP/1.1 200 OK\nContent-Type: text/x-telmark\nSet-Cookie: a=1\n\n<html/>",
      "HTTP/1.1 200 OK\r\nContent-Type: text/x-telmark\r\nX-A: 1\nContent-Length: 1\r\n\r\n"
      "<html/>",
  };
  for (const auto& response : cases) {
    SCOPED_TRACE(response);
    Request request;
    request.userAgent(kVictim);
    request.responseContentType = "text/x-telmark";
    const Exchange exchange = run(request, response);
    EXPECT_TRUE(isOneCompleteResponse(exchange.clientBytes)) << exchange.clientBytes;
    EXPECT_EQ(exchange.response.statusCode(), 500);
    const std::string head = exchange.clientBytes.substr(0, exchange.clientBytes.find("\r\n\r\n"));
    for (std::size_t i = 0; i < head.size(); ++i) {
      if (head[i] == '\n') {
        EXPECT_EQ(head[i - 1], '\r') << "bare LF at " << i;
      }
    }
  }
}

TEST(HeldResponseBound, AHeldPageOverTheBoundIsAnsweredAtOnce) {
  FilterModule module(
      settingsFile("<HeldResponseMaxBytes>1000</HeldResponseMaxBytes>" + profileElement(".*")));
  ASSERT_TRUE(module.loaded()) << module.openError();
  const struct {
    std::size_t pageSize;
    int status;
  } cases[] = {{900, 200}, {5000, 500}, {100000, 500}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.pageSize);
    const std::string page = "<html><p>" + std::string(c.pageSize, 'x') + "</p></html>";
    Request request;
    request.userAgent(kVictim);
    Connection connection(module);
    const Exchange exchange =
        connection.run(request, appResponse(page, "text/x-telmark", "X-App: 1\r\n"), 512);
    EXPECT_TRUE(isOneCompleteResponse(exchange.clientBytes)) << exchange.clientBytes;
    EXPECT_EQ(exchange.response.statusCode(), c.status);
    if (c.status == 500) {
      EXPECT_EQ(exchange.response.header("X-App"), "1");
      EXPECT_EQ(exchange.writes.size(), 2u);
    }
  }
}

TEST(HeldResponseBound, ABoundBelowOneFailsTheLoad) {
  for (const char* value : {"0", "-5"}) {
    SCOPED_TRACE(value);
    FilterModule module(settingsFile(std::string("<HeldResponseMaxBytes>") + value +
                                     "</HeldResponseMaxBytes>" + profileElement(".*")));
    EXPECT_TRUE(module.opened());
    EXPECT_FALSE(module.loaded());
  }
}

// A host that announces a second held response in one request: the first
// one's context is destroyed, not leaked, and only the second is answered.
TEST_F(HostileInput, ASecondResponseHeadReplacesTheFirstContext) {
  std::string client;
  host::FilterConnection connection(module_->module(), host::ConnectionInfo{},
                                    [&client](std::string_view bytes) {
                                      client.append(bytes);
                                      return true;
                                    });
  host::RequestHead request{"GET", "/", "HTTP/1.1", {{"User-Agent", kVictim}}};
  connection.beginRequest(request);
  connection.preprocHeaders();
  host::ResponseHead head{"HTTP/1.1", 200, "OK", {{"Content-Type", "text/x-telmark"}}, {}};
  head.format();
  connection.sendResponse(head);
  connection.sendRawData(std::string(head.raw) + std::string(4000, ' ') + "<html/>");
  void* first = connection.context()->pFilterContext;
  ASSERT_NE(first, nullptr);
  connection.sendResponse(head);
  connection.sendRawData(head.raw + "<html><p>second</p></html>");
  connection.endOfRequest();
  connection.endRequest();
  EXPECT_TRUE(isOneCompleteResponse(client)) << client;
  EXPECT_NE(client.find("second"), std::string::npos) << client;
  EXPECT_EQ(connection.context()->pFilterContext, nullptr);
}

}  // namespace
}  // namespace vantomer::test
