#include "http/cookie_format.h"

#include <gtest/gtest.h>

#include <optional>
#include <utility>
#include <vector>

namespace vantomer {
namespace {

TEST(ParseSetCookie, Fields) {
  const struct {
    const char* text;
    StockedCookie expected;  // name, value, path, expires, flag
  } cases[] = {
      {"lang=ja; Path=/m; Expires=Wed, 09 Jun 2021 10:18:14 GMT",
       {"lang", "ja", "/m", "Wed, 09 Jun 2021 10:18:14 GMT", ""}},
      {"lang=ja; Max-Age=60; Domain=example.jp", {"lang", "ja", "", "", ""}},
      {"lang=ja; secure; path=/m", {"lang", "ja", "/m", "", "secure"}},
      {"lang =  ja", {"lang ", "  ja", "", "", ""}},
      {"   sid=a=b", {"sid", "a=b", "", "", ""}},
      {"novalue", {"novalue", "", "", "", ""}},
      {"novalue; path=/p", {"novalue; path", "/p", "", "", ""}},
      {"a=1; path=/x; PATH=/y; expires=1; EXPIRES=2", {"a", "1", "/y", "2", ""}},
      {"a=1;path=/x", {"a", "1", "/x", "", ""}},
      // A value-less attribute ends the text: still the flag.
      {"a=1; path=/; HttpOnly", {"a", "1", "/", "", "HttpOnly"}},
      // A later flag replaces an earlier one, but HttpOnly leaves secure.
      {"a=1; foo; secure", {"a", "1", "", "", "secure"}},
      {"a=1; Secure; HttpOnly", {"a", "1", "", "", "Secure"}},
      {"a=1; HttpOnly; Secure", {"a", "1", "", "", "Secure"}},
      {"a=1; secure; bar", {"a", "1", "", "", "bar"}},
      // Blanks around an attribute name are no part of it; a closing ";" is
      // no flag.
      {"a=1; secure ;", {"a", "1", "", "", "secure"}},
      {"a=1; secure;", {"a", "1", "", "", "secure"}},
      {"sec=X; Path=/; Secure ; HttpOnly", {"sec", "X", "/", "", "Secure"}},
      {"a=1;\tSecure\t;HttpOnly ", {"a", "1", "", "", "Secure"}},
      {"a=1; Path =/p; Expires =x", {"a", "1", "/p", "x", ""}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    StockedCookie cookie{"stale", "stale", "stale", "stale", "stale"};
    parseSetCookie(c.text, cookie);
    EXPECT_EQ(cookie.name, c.expected.name);
    EXPECT_EQ(cookie.value, c.expected.value);
    EXPECT_EQ(cookie.path, c.expected.path);
    EXPECT_EQ(cookie.expires, c.expected.expires);
    EXPECT_EQ(cookie.flag, c.expected.flag);
  }
}

TEST(ParseSetCookie, MaxAge) {
  const struct {
    const char* text;
    std::optional<int64_t> maxAge;
  } cases[] = {
      {"a=1; Max-Age=60", 60},
      {"a=1; max-age=0", 0},
      {"a=1; Max-Age=-1", -1},
      {"a=1; Max-Age = 5 ", 5},
      {"a=1; Max-Age=99999999999999999999", int64_t{100} * 365 * 24 * 3600},
      // Not a number: ignored, an earlier one stays.
      {"a=1; Max-Age=1h", std::nullopt},
      {"a=1; Max-Age=", std::nullopt},
      {"a=1; Max-Age=+5", std::nullopt},
      {"a=1; Max-Age=7; Max-Age=x", 7},
      {"a=1", std::nullopt},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    StockedCookie cookie;
    parseSetCookie(c.text, cookie);
    EXPECT_EQ(cookie.maxAge, c.maxAge);
  }
}

TEST(ParseCookieHeader, Pairs) {
  using Pairs = std::vector<std::pair<std::string, std::string>>;
  const struct {
    const char* text;
    Pairs expected;  // in map order
  } cases[] = {
      {"a=1; b=2; a=3", {{"a", "1"}, {"b", "2"}}},
      {"a=1;b=2", {{"a", "1"}, {"b", "2"}}},
      {"a; b=2", {{"a; b", "2"}}},
      {"a=1; b", {{"a", "1"}}},
      {"  a=x=y;  b= 2 ", {{"a", "x=y"}, {"b", " 2 "}}},
      {"", {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    RequestCookies cookies;
    parseCookieHeader(c.text, cookies);
    EXPECT_EQ(Pairs(cookies.begin(), cookies.end()), c.expected);
  }
}

TEST(FormatCookieHeader, SortedEachPairClosed) {
  EXPECT_EQ(formatCookieHeader({{"b", "2"}, {"a", "1"}}), "a=1; b=2; ");
  EXPECT_EQ(formatCookieHeader({{"B", ""}, {"a", "1"}}), "B=; a=1; ");
  EXPECT_EQ(formatCookieHeader({}), "");
}

}  // namespace
}  // namespace vantomer
