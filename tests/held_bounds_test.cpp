// Bounds on a held page through the real module: the caps on its tree, the
// budget of conversions at once; and a stock that forgets what the site
// deletes and renews keys at login.

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "filter/conversion_budget.h"
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
      {"80000 attributes", withAttributes(80000), false},
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

// The stock through the module: the request's path reaches deletions, the
// setting reaches renewal (both stores' rules are tabled with the stock).
Exchange withCookie(const FilterModule& module, const std::string& key, const std::string& url,
                    const std::string& setCookie) {
  const std::string marked = key.empty() ? url : "/(=" + key + "=)" + url.substr(1);
  return fetchPage(module, marked, "<html><a href=\"next\">n</a></html>",
                   setCookie.empty() ? "" : "Set-Cookie: " + setCookie + "\r\n");
}

TEST(HeldBounds, LogoutsAndRenewedKeysThroughTheModule) {
  const struct {
    bool renew;
    const char* second;  // Set-Cookie of the second response, under the key
    const char* url;     // of the second request
    const char* oldKey;  // what the first key restores afterwards
    bool newKey;
  } cases[] = {
      {false, "session=; Path=/member; Max-Age=0", "/member/logout", "", false},
      {false, "session=; Path=/shop; Max-Age=0", "/member/logout", "session=1; ", false},
      {false, "lang=ja", "/login", "lang=ja; session=1; ", false},
      {true, "lang=ja", "/login", "session=1; ", true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.second);
    FilterModule module(settingsFile(std::string("<CookieStockerRenewKey>") +
                                     (c.renew ? "on" : "off") + "</CookieStockerRenewKey>" +
                                     profileElement(".*")));
    ASSERT_TRUE(module.loaded()) << module.openError();
    const std::string key = keyIn(withCookie(module, "", "/", "session=1").response.body);
    const std::string next = keyIn(withCookie(module, key, c.url, c.second).response.body);
    EXPECT_EQ(next != key, c.newKey);
    EXPECT_EQ(withCookie(module, key, "/home", "").requestHeader("Cookie").value_or(""), c.oldKey);
    if (c.newKey) {
      EXPECT_EQ(withCookie(module, next, "/home", "").requestHeader("Cookie"),
                "lang=ja; session=1; ");
    }
  }
}

}  // namespace
}  // namespace vantomer::test
