// The cookie stock's behaviour: one table of cases run against both stores
// (in memory, and in a private redis-server). What only the in-memory stock
// has is in cookie_stocker_memory_test.cpp.

#include "cookie/cookie_stocker.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <functional>
#include <memory>
#include <set>
#include <thread>
#include <vector>

#include "cookie/redis_cookie_store.h"
#include "support/redis_server.h"

namespace vantomer {
namespace {

// A store under test, seen only through the interface the filter uses.
class StoreUnderTest {
 public:
  virtual ~StoreUnderTest() = default;
  virtual CookieStore& store() = 0;
  // How many entries the store holds.
  virtual std::size_t entries() = 0;
};

class InMemory final : public StoreUnderTest {
 public:
  CookieStore& store() override { return stock_; }
  std::size_t entries() override { return stock_.size(); }

 private:
  CookieStocker stock_;
};

// One redis-server for the whole table; every case its own prefix, so its
// serials start at 1.
class InRedis final : public StoreUnderTest {
 public:
  static test::RedisServer*& server() {
    static test::RedisServer* instance = nullptr;
    return instance;
  }

  InRedis()
      : prefix_("table" + std::to_string(++cases_) + ":"),
        store_(server()->address(), prefix_, std::chrono::milliseconds(1000), 60, fallback_,
               [this](const std::string& line) { reports_.push_back(line); }) {}
  ~InRedis() override {
    // Everything must have gone to Redis, nothing to the stand-in.
    EXPECT_TRUE(reports_.empty()) << reports_.front();
    EXPECT_EQ(fallback_.size(), 0u);
  }
  CookieStore& store() override { return store_; }
  std::size_t entries() override {
    const RedisReply keys = server()->command({"KEYS", prefix_ + "*"});
    std::size_t count = 0;
    for (const RedisReply& key : keys.items) count += key.text != prefix_;  // not the counter
    return count;
  }

 private:
  static inline int cases_ = 0;
  std::string prefix_;
  CookieStocker fallback_;
  std::vector<std::string> reports_;
  RedisCookieStore store_;
};

using StoreMaker = std::function<std::unique_ptr<StoreUnderTest>()>;

class StoreTable : public ::testing::TestWithParam<const char*> {
 protected:
  static void SetUpTestSuite() {
    if (!test::RedisServer::available()) return;
    InRedis::server() = new test::RedisServer();
    if (!InRedis::server()->start()) {
      delete InRedis::server();
      InRedis::server() = nullptr;
    }
  }
  static void TearDownTestSuite() {
    delete InRedis::server();
    InRedis::server() = nullptr;
  }
  void SetUp() override {
    if (std::string(GetParam()) == "InMemory") {
      under_ = std::make_unique<InMemory>();
    } else {
      if (!test::RedisServer::available())
        GTEST_SKIP() << "redis-server is not installed (`scripts/setup.sh` installs it)";
      ASSERT_NE(InRedis::server(), nullptr) << "redis-server did not start";
      under_ = std::make_unique<InRedis>();
    }
  }

  std::string capture(std::string key, const std::vector<std::string_view>& values,
                      const char* ua = "UA") {
    EXPECT_EQ(under_->store().capture(key, values, ua), S_OK);
    return key;
  }
  std::string capture(std::string key, std::string_view value, const char* ua = "UA") {
    return capture(std::move(key), std::vector<std::string_view>{value}, ua);
  }
  std::optional<StockedCookies> lookup(const std::string& key, const char* ua = "UA") {
    StockedCookies cookies;
    const HRESULT hr = under_->store().lookup(key, ua, cookies);
    EXPECT_TRUE(hr == S_OK || hr == S_FALSE) << hr;
    if (hr != S_OK) return std::nullopt;
    return cookies;
  }
  std::size_t entries() { return under_->entries(); }

  std::unique_ptr<StoreUnderTest> under_;
};

INSTANTIATE_TEST_SUITE_P(BothStores, StoreTable, ::testing::Values("InMemory", "Redis"),
                         [](const auto& info) { return std::string(info.param); });

TEST_P(StoreTable, NewKeysCarryTheSerialInHex) {
  const char* suffixes[] = {"0x1", "0x2", "0x3", "0x4", "0x5", "0x6", "0x7",  "0x8", "0x9",
                            "0xa", "0xb", "0xc", "0xd", "0xe", "0xf", "0x10", "0x11"};
  std::set<std::string> letters;
  for (std::size_t n = 0; n < std::size(suffixes); ++n) {
    const char* suffix = suffixes[n];
    std::string key;
    if (n % 2 == 0) {
      key = capture("", "a=1; expires=x");
    } else {
      ASSERT_EQ(under_->store().newKey(key), S_OK);
    }
    ASSERT_EQ(key.size(), CookieStocker::kKeyLength + std::strlen(suffix)) << key;
    EXPECT_EQ(key.substr(CookieStocker::kKeyLength), suffix);
    for (int i = 0; i < CookieStocker::kKeyLength; ++i)
      EXPECT_NE(std::strchr(CookieStocker::kAlphabet, key[i]), nullptr) << key;
    letters.insert(key.substr(0, CookieStocker::kKeyLength));
  }
  EXPECT_EQ(letters.size(), std::size(suffixes));
  EXPECT_EQ(entries(), 0u);
}

TEST_P(StoreTable, CookieWithExpiresMakesAKeyAndStoresNothing) {
  const std::string key = capture("", "a=1; Expires=Thu, 01 Jan 1970 00:00:00 GMT");
  EXPECT_FALSE(key.empty());
  EXPECT_EQ(entries(), 0u);
  EXPECT_FALSE(lookup(key));

  // It ends a cookie of that name and path already in stock (a logout),
  // and only that one.
  capture(key, "a=1");
  capture(key, "a=1; path=/m");
  capture(key, "a=; expires=Thu, 01 Jan 1970 00:00:00 GMT");
  auto cookies = lookup(key);
  ASSERT_TRUE(cookies);
  EXPECT_EQ(cookies->count({"a", ""}), 0u);
  EXPECT_EQ(cookies->at({"a", "/m"}).value, "1");
  // The entry stays, empty, when its last cookie goes.
  capture(key, "a=; path=/m; expires=x");
  cookies = lookup(key);
  ASSERT_TRUE(cookies);
  EXPECT_TRUE(cookies->empty());
}

TEST_P(StoreTable, CookiesAreKeptByNameAndPath) {
  const std::string key = capture("", "a=1; path=/");
  EXPECT_EQ(capture(key, "a=2; path=/shop"), key);
  capture(key, "b=3");
  capture(key, "a=4; path=/");
  auto cookies = lookup(key);
  ASSERT_TRUE(cookies);
  ASSERT_EQ(cookies->size(), 3u);
  auto it = cookies->begin();
  EXPECT_EQ(it->first, CookieKey("a", "/"));
  EXPECT_EQ(it->second.value, "4");
  ++it;
  EXPECT_EQ(it->first, CookieKey("a", "/shop"));
  EXPECT_EQ(it->second.value, "2");
  ++it;
  EXPECT_EQ(it->second.name, "b");
}

TEST_P(StoreTable, OneResponseIsCapturedInOrderUnderOneKey) {
  // Bytes that a text protocol could mistake for its own travel as data.
  const char oddBytes[] = "v\r\n*1\r\n$4\r\nPING\0\xff";
  const std::string odd(oddBytes, sizeof oddBytes - 1);
  const std::string withOdd = "odd=" + odd + "; path=/x y";
  const std::string key = capture("", {"s=1; path=/; secure", "s=2; path=/; HttpOnly", withOdd,
                                       "gone=1", "gone=; expires=x", "t"});
  auto cookies = lookup(key);
  ASSERT_TRUE(cookies);
  ASSERT_EQ(cookies->size(), 3u);
  EXPECT_EQ(cookies->at({"s", "/"}).value, "2");
  EXPECT_EQ(cookies->at({"s", "/"}).flag, "HttpOnly");
  EXPECT_EQ(cookies->at({"odd", "/x y"}).value, odd);
  EXPECT_EQ(cookies->at({"t", ""}).value, "");
  EXPECT_EQ(entries(), 1u);
}

TEST_P(StoreTable, KeyIsBoundToTheLastCapturingUserAgent) {
  const std::string key = capture("", "a=1", "First");
  EXPECT_FALSE(lookup(key, "first"));  // byte for byte
  EXPECT_FALSE(lookup(key, "First"));  // the entry is gone
  EXPECT_EQ(entries(), 0u);

  capture(key, "a=1", "First");
  capture(key, "b=2", "Second");
  EXPECT_TRUE(lookup(key, "Second"));
  EXPECT_FALSE(lookup("unknown", "Second"));
  EXPECT_FALSE(lookup("", ""));
  EXPECT_EQ(entries(), 1u);
  // An empty User-Agent is one like any other.
  const std::string anonymous = capture("", "a=1", "");
  EXPECT_TRUE(lookup(anonymous, ""));
  EXPECT_FALSE(lookup(anonymous, "UA"));
}

TEST_P(StoreTable, AnEntryKeepsTheFiftyCookiesSetLast) {
  const std::string key = capture("", "c0=0");
  for (int i = 1; i < 50; ++i) capture(key, "c" + std::to_string(i) + "=" + std::to_string(i));
  capture(key, "c0=again");  // now set last
  std::vector<std::string> more;
  for (int i = 50; i < 53; ++i) more.push_back("c" + std::to_string(i) + "=" + std::to_string(i));
  capture(key, std::vector<std::string_view>(more.begin(), more.end()));
  auto cookies = lookup(key);
  ASSERT_TRUE(cookies);
  EXPECT_EQ(cookies->size(), kMaxCookiesPerEntry);
  for (const char* gone : {"c1", "c2", "c3"}) EXPECT_EQ(cookies->count({gone, ""}), 0u) << gone;
  EXPECT_EQ(cookies->at({"c0", ""}).value, "again");
  EXPECT_EQ(cookies->at({"c4", ""}).value, "4");
  EXPECT_EQ(cookies->at({"c52", ""}).value, "52");
}

TEST_P(StoreTable, ACookieOverFourKilobytesIsNotStocked) {
  const std::string name = "big";
  const std::string fits(kMaxCookieBytes - name.size(), 'v');
  const std::string key = capture("", name + "=" + fits);
  ASSERT_TRUE(lookup(key));
  EXPECT_EQ(lookup(key)->at({name, ""}).value, fits);
  // One byte more: not stocked, and the stocked value stays.
  capture(key, name + "=" + fits + "w");
  EXPECT_EQ(lookup(key)->at({name, ""}).value, fits);
  // Its deletion still counts, whatever its length.
  capture(key, name + "=" + fits + "w; expires=x");
  EXPECT_EQ(lookup(key)->count({name, ""}), 0u);
  // Alone in a response, it still brings a key, and no entry.
  const std::string other = capture("", name + "=" + fits + "w");
  EXPECT_FALSE(other.empty());
  EXPECT_NE(other, key);
  EXPECT_FALSE(lookup(other));
}

TEST_P(StoreTable, DeletionsReachWhatTheBrowserWouldDelete) {
  const char* kPast = "; Expires=Thu, 01 Jan 1970 00:00:00 GMT";
  const struct {
    std::string stocked;
    std::string deletion;
    std::string_view requestPath;
    bool remains;
  } cases[] = {
      {"session=LOGGEDIN", std::string("session=; Path=/") + kPast, "/member/logout", false},
      {"session=LOGGEDIN", "session=; Path=/; Max-Age=0", "/logout", false},
      {"session=LOGGEDIN", "session=; Max-Age=0", "/logout", false},
      {"session=LOGGEDIN", "session=; Max-Age=-5", "/logout", false},
      {"session=LOGGEDIN", "session=; Path=/member; Max-Age=0", "/member/logout", false},
      {"session=LOGGEDIN", "session=; Path=/member/; Max-Age=0", "/member/logout?x=/", false},
      // Another directory, or a Max-Age that is no number: no deletion.
      {"session=LOGGEDIN", "session=; Path=/shop; Max-Age=0", "/member/logout", true},
      {"session=LOGGEDIN", "session=X; Max-Age=zero", "/logout", true},
      // A deletion without a path leaves the cookie of path "/".
      {"session=1; Path=/", "session=; Max-Age=0", "/logout", true},
      {"session=1; Path=/", "session=; Path=/; Max-Age=0", "/logout", false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.stocked + " then " + c.deletion);
    std::string key = capture("", c.stocked);
    const std::string name = "session";
    ASSERT_EQ(under_->store().capture(key, {c.deletion}, "UA", CaptureOptions{c.requestPath}),
              S_OK);
    const auto cookies = lookup(key);
    ASSERT_TRUE(cookies);
    EXPECT_EQ(cookies->size(), c.remains ? 1u : 0u);
  }
}

TEST_P(StoreTable, RenewedKeyCopiesTheEntryAndLeavesTheOldOne) {
  const std::string planted = capture("", "lang=ja");
  const struct {
    const char* ua;
    std::vector<std::string> newCookies;  // at the new key, in name order
  } cases[] = {
      {"UA", {"lang", "session"}},
      // Another handset's entry is not copied.
      {"Other", {"session"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.ua);
    std::string key = planted;
    CaptureOptions options;
    options.renewKey = true;
    ASSERT_EQ(under_->store().capture(key, {"session=s3cret; Path=/"}, c.ua, options), S_OK);
    ASSERT_NE(key, planted);
    const auto renewed = lookup(key, c.ua);
    ASSERT_TRUE(renewed);
    std::vector<std::string> names;
    for (const auto& [id, cookie] : *renewed) names.push_back(id.first);
    EXPECT_EQ(names, c.newCookies);
    // The planted key sees nothing of the login.
    const auto old = lookup(planted);
    ASSERT_TRUE(old);
    EXPECT_EQ(old->size(), 1u);
    EXPECT_EQ(old->count({"session", "/"}), 0u);
    // The same cookie again changes nothing and keeps the key; another
    // value moves on.
    std::string again = key;
    ASSERT_EQ(under_->store().capture(again, {"session=s3cret; Path=/; Max-Age=60"}, c.ua, options),
              S_OK);
    EXPECT_EQ(again, key);
    ASSERT_EQ(under_->store().capture(again, {"session=other; Path=/"}, c.ua, options), S_OK);
    EXPECT_NE(again, key);
  }
  // Off: the cookies go under the key the request came with.
  std::string key = planted;
  ASSERT_EQ(under_->store().capture(key, {"b=2"}, "UA", CaptureOptions{}), S_OK);
  EXPECT_EQ(key, planted);
}

TEST_P(StoreTable, MaxAgeBoundsRestoration) {
  const std::string key = capture("", {"short=1; Max-Age=1", "long=1; Max-Age=3600", "plain=1"});
  ASSERT_EQ(lookup(key)->size(), 3u);
  std::this_thread::sleep_for(std::chrono::milliseconds(1100));
  const auto cookies = lookup(key);
  ASSERT_TRUE(cookies);
  EXPECT_EQ(cookies->count({"short", ""}), 0u);
  EXPECT_EQ(cookies->size(), 2u);
}

}  // namespace
}  // namespace vantomer
