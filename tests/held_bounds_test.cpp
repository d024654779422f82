// Bounds on a held response through the real module: header lines of real
// length, the caps on one page's tree, the budget of conversions at once;
// and a stock that forgets what the site deletes and renews keys at login.

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "filter/conversion_budget.h"
#include "support/redis_server.h"
#include "support/test_host.h"

namespace vantomer::test {
namespace {

constexpr const char* kHandset = "DoCoMo/2.0 P903i(c100;TB;W24H12)";
constexpr const char* kErrorText = "TELMARK Parse Error";

Exchange fetchPage(const FilterModule& module, const std::string& url, const std::string& page,
                   const std::string& extraHeaders = {}) {
  Request request;
  request.url = url;
  request.userAgent(kHandset);
  Connection connection(module);
  return connection.run(request, appResponse(page, "text/x-telmark; charset=UTF-8", extraHeaders));
}

TEST(HeldBounds, HeaderLinesComeOutWholeUpToTheBound) {
  FilterModule module(settingsFile(profileElement(".*")));
  ASSERT_TRUE(module.loaded()) << module.openError();
  const struct {
    std::size_t lineBytes;  // "X-Long: ..." without its CR LF
    int status;
  } cases[] = {{1023, 200}, {1024, 200}, {8192, 200}, {16384, 200}, {16385, 500}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.lineBytes);
    const std::string value(c.lineBytes - 8, 'p');
    const Exchange exchange =
        fetchPage(module, "/", "<html><p>x</p></html>", "X-Long: " + value + "\r\nX-After: 1\r\n");
    EXPECT_TRUE(isOneCompleteResponse(exchange.clientBytes));
    EXPECT_EQ(exchange.response.statusCode(), c.status);
    if (c.status == 200) {
      EXPECT_EQ(exchange.response.header("X-Long"), value);
      EXPECT_EQ(exchange.response.header("X-After"), "1");
    } else {
      // Nothing of a head that was not read whole goes out.
      EXPECT_EQ(exchange.response.header("X-After"), std::nullopt);
      EXPECT_EQ(exchange.response.header("Content-Type"), "text/plain");
    }
  }
}

std::string withAttributes(int n) {
  std::string page = "<html><body><p";
  for (int i = 0; i < n; ++i) page += " a" + std::to_string(i) + "=\"\"";
  return page + ">x</p></body></html>";
}

std::string nestedDivs(int depth) {
  std::string open, close;
  for (int i = 0; i < depth; ++i) open += "<div>", close += "</div>";
  return "<html><body>" + open + "x" + close + "</body></html>";
}

// html and body, then a p and its text for every two nodes more.
std::string withNodes(int nodes) {
  std::string page = "<html><body>";
  for (int i = 2; i < nodes; i += 2) page += "<p>x</p>";
  return page + "</body></html>";
}

TEST(HeldBounds, APageOverACapGetsTheErrorPage) {
  FilterModule module(settingsFile(profileElement(".*")));
  ASSERT_TRUE(module.loaded()) << module.openError();
  const struct {
    const char* name;
    std::string page;
    bool converted;
  } cases[] = {
      {"256 attributes", withAttributes(256), true},
      {"257 attributes", withAttributes(257), false},
      {"20000 attributes", withAttributes(20000), false},
      {"80000 attributes", withAttributes(80000), false},
      {"depth 256", nestedDivs(254), true},
      {"depth 257", nestedDivs(255), false},
      {"200000 nodes", withNodes(200000), true},
      {"200002 nodes", withNodes(200002), false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const Exchange exchange = fetchPage(module, "/", c.page);
    EXPECT_EQ(exchange.response.statusCode(), 200);
    EXPECT_EQ(exchange.response.body.find(kErrorText) == std::string::npos, c.converted);
  }
}

TEST(ConversionBudget, ReservationsWaitForRoomOrAreRefused) {
  using std::chrono::milliseconds;
  const struct {
    const char* name;
    std::size_t held;  // reserved before
    std::size_t asked;
    bool granted;
  } cases[] = {
      {"fits", 60, 40, true},
      {"one byte over", 61, 40, false},
      {"alone, larger than the budget", 0, 500, true},
      {"beside another, larger than the budget", 1, 500, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ConversionBudget budget;
    budget.setLimit(100);
    const BudgetReservation held(budget, c.held, milliseconds(0));
    ASSERT_TRUE(held.granted());
    BudgetReservation asked(budget, c.asked, milliseconds(0));
    EXPECT_EQ(asked.granted(), c.granted);
  }
  // Room made while waiting is taken.
  ConversionBudget budget;
  budget.setLimit(100);
  std::optional<BudgetReservation> first(std::in_place, budget, 100, milliseconds(0));
  std::thread releaser([&] {
    std::this_thread::sleep_for(milliseconds(50));
    first.reset();
  });
  const BudgetReservation second(budget, 100, milliseconds(10000));
  releaser.join();
  EXPECT_TRUE(second.granted());
  EXPECT_EQ(budget.reserved(), 100u);
}

// The stock through the module: in memory, and in Redis where installed.
class StockThroughModule : public ::testing::TestWithParam<bool> {
 protected:
  void SetUp() override {
    if (!GetParam()) return;
    if (!RedisServer::available()) GTEST_SKIP() << "redis-server is not installed";
    redis_ = std::make_unique<RedisServer>();
    ASSERT_TRUE(redis_->start()) << redis_->log();
  }
  std::string stockSetting() const {
    return redis_ ? "<CookieStockerRedis>" + redis_->url() + "</CookieStockerRedis>" : "";
  }
  // The Cookie header the application saw at the URL with the key.
  static std::string cookiesAt(const FilterModule& module, const std::string& key) {
    return fetchPage(module, "/(=" + key + "=)home", "<html/>")
        .requestHeader("Cookie")
        .value_or("");
  }
  static std::string setCookie(const FilterModule& module, const std::string& key,
                               const std::string& url, const std::string& value) {
    const std::string marked = key.empty() ? url : "/(=" + key + "=)" + url.substr(1);
    return keyIn(fetchPage(module, marked, "<html><a href=\"next\">n</a></html>",
                           "Set-Cookie: " + value + "\r\n")
                     .response.body);
  }

  std::unique_ptr<RedisServer> redis_;
};

INSTANTIATE_TEST_SUITE_P(Stores, StockThroughModule, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "Redis" : "InMemory"; });

TEST_P(StockThroughModule, LogoutsForgetTheLogin) {
  FilterModule module(settingsFile(stockSetting() + profileElement(".*")));
  ASSERT_TRUE(module.loaded()) << module.openError();
  const struct {
    const char* login;
    const char* logout;
    const char* logoutUrl;
    const char* left;  // what a plain request is restored with afterwards
  } cases[] = {
      {"session=LOGGEDIN", "session=; Path=/; Expires=Thu, 01 Jan 1970 00:00:00 GMT", "/logout",
       ""},
      {"session=LOGGEDIN; Path=/", "session=; Path=/; Max-Age=0", "/logout", ""},
      {"session=LOGGEDIN", "session=; Path=/member; Max-Age=0", "/member/logout", ""},
      {"session=LOGGEDIN", "session=; Path=/shop; Max-Age=0", "/member/logout",
       "session=LOGGEDIN; "},
      {"sec=X; Path=/; Secure ; HttpOnly", "other=1", "/", "other=1; "},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.logout);
    const std::string key = setCookie(module, "", "/login", c.login);
    ASSERT_FALSE(key.empty());
    EXPECT_EQ(setCookie(module, key, c.logoutUrl, c.logout), key);
    EXPECT_EQ(cookiesAt(module, key), c.left);
  }
}

TEST_P(StockThroughModule, ALoginMovesToANewKeyWhenKeysAreRenewed) {
  for (const bool renew : {false, true}) {
    SCOPED_TRACE(renew);
    FilterModule module(settingsFile(stockSetting() + "<CookieStockerRenewKey>" +
                                     (renew ? "on" : "off") + "</CookieStockerRenewKey>" +
                                     profileElement(".*")));
    ASSERT_TRUE(module.loaded()) << module.openError();
    // The attacker's key, planted in a link the victim opens.
    const std::string planted = setCookie(module, "", "/", "lang=ja");
    const std::string after = setCookie(module, planted, "/login", "session=victim");
    EXPECT_EQ(after != planted, renew);
    EXPECT_EQ(cookiesAt(module, planted), renew ? "lang=ja; " : "lang=ja; session=victim; ");
    EXPECT_EQ(cookiesAt(module, after), "lang=ja; session=victim; ");
  }
}

}  // namespace
}  // namespace vantomer::test
