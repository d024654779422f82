// A restored Cookie header never exceeds what a request's own may carry.

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "cookie/cookie_stocker.h"
#include "cookie/restore_request_cookies.h"

namespace vantomer {
namespace {

std::string pair(const std::string& name, std::size_t valueLength, char fill = 'v') {
  return name + "=" + std::string(valueLength, fill);
}

TEST(RestoredCookieHeader, StaysWithinTheRequestLimit) {
  std::vector<std::string> fifty;
  for (int i = 10; i < 60; ++i) fifty.push_back(pair("c" + std::to_string(i), 90));
  const struct {
    const char* name;
    std::vector<std::string> stocked;
    std::optional<std::string> sent;
    std::vector<std::string> in;   // names restored
    std::vector<std::string> out;  // names left out
    std::optional<std::string> exactly;
    bool crowded = false;  // the handset sends the crowded header below
  } cases[] = {
      // 50 pairs of 96 bytes: 42 fit in 4095, in name order.
      {"many stocked", fifty, std::nullopt, {"c10", "c51"}, {"c52", "c59"}, std::nullopt},
      {"one too long, a later one fits",
       {pair("a", 200), pair("b", 50)},
       pair("own", 3900),
       {"own", "b"},
       {"a"},
       std::nullopt},
      {"left out for its length, no other path stands in",
       {pair("a", 200) + "; path=/", "a=short; path=/x"},
       pair("own", 3900),
       {"own"},
       {"a"},
       std::nullopt},
      // 1400 pairs "kN=v;" fit as sent but grow by a blank each once written
      // in the normal form: the header goes on as it came.
      {"own header grows when normalised", {"s=1"}, std::nullopt, {}, {"s"}, std::nullopt, true},
      {"exactly the limit",
       {pair("s", kMaxCookieHeader - 4)},
       std::nullopt,
       {"s"},
       {},
       std::nullopt},
      {"one byte over", {pair("s", kMaxCookieHeader - 3)}, std::nullopt, {}, {"s"}, ""},
  };
  std::string crowded;
  for (int i = 0; crowded.size() + 8 < kMaxCookieHeader; ++i)
    crowded += "k" + std::to_string(i) + "=v;";
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    CookieStocker stock;
    std::string key;
    for (const std::string& value : c.stocked) stock.capture(key, value, "UA");
    RequestFacts request;
    request.userAgent = "UA";
    request.cookieHeader = c.sent;
    if (c.crowded) request.cookieHeader = crowded;
    std::string header;
    ASSERT_EQ(restoreRequestCookies(stock, request, key, "/x", header), S_OK);
    EXPECT_LE(header.size(), kMaxCookieHeader);
    if (c.exactly) {
      EXPECT_EQ(header, *c.exactly);
    }
    if (c.crowded) {
      EXPECT_EQ(header, crowded);
    }
    for (const std::string& name : c.in)
      EXPECT_NE(header.find(name + "="), std::string::npos) << name;
    for (const std::string& name : c.out)
      EXPECT_EQ(header.find(name + "="), std::string::npos) << name;
  }
}

}  // namespace
}  // namespace vantomer
