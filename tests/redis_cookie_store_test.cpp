// The Redis stock against a private redis-server: expiry, the wire, the
// stand-in when the server is gone, slow or refusing, and many threads on
// one key.

#include "cookie/redis_cookie_store.h"

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <mutex>
#include <random>
#include <thread>

#include "cookie/sha1.h"
#include "support/redis_server.h"

namespace vantomer {
namespace {

using namespace std::chrono_literals;
using test::RedisServer;

// A store with its stand-in, its reports kept for the test.
struct Store {
  Store(const RedisAddress& address, std::chrono::milliseconds timeout = 100ms,
        int32_t idleMinutes = 60, std::string prefix = "test:")
      : store(address, std::move(prefix), timeout, idleMinutes, fallback,
              [this](const std::string& line) {
                std::lock_guard<std::mutex> hold(lock);
                reports.push_back(line);
              }) {}

  std::string capture(std::string key, std::string_view value, const char* ua = "UA") {
    EXPECT_EQ(store.capture(key, std::vector<std::string_view>{value}, ua), S_OK);
    return key;
  }
  std::optional<StockedCookies> lookup(const std::string& key, const char* ua = "UA") {
    StockedCookies cookies;
    if (store.lookup(key, ua, cookies) != S_OK) return std::nullopt;
    return cookies;
  }
  std::vector<std::string> seen() {
    std::lock_guard<std::mutex> hold(lock);
    return reports;
  }

  std::mutex lock;
  std::vector<std::string> reports;
  CookieStocker fallback;
  RedisCookieStore store;
};

#define REQUIRE_REDIS()                                                                 \
  do {                                                                                  \
    if (!RedisServer::available())                                                      \
      GTEST_SKIP() << "redis-server is not installed (`scripts/setup.sh` installs it)"; \
  } while (0)

template <typename F>
std::chrono::milliseconds timed(F&& f) {
  const auto start = std::chrono::steady_clock::now();
  f();
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() -
                                                               start);
}

// What a request may wait beyond the timeout on a loaded machine.
// Room for a loaded or sanitized build; a missing timeout waits far longer.
constexpr auto kSlack = 400ms;

TEST(Sha1, KnownDigests) {
  EXPECT_EQ(sha1Hex(""), "da39a3ee5e6b4b0d3255bfef95601890afd80709");
  EXPECT_EQ(sha1Hex("abc"), "a9993e364706816aba3e25717850c26c9cd0d89d");
  EXPECT_EQ(sha1Hex(std::string(1000, 'a')), "291e9a6c66994949b57ba5e650361e98fc36b1ba");
}

TEST(RedisStore, EntriesLiveInRedisAndExpireAfterTheIdleTime) {
  REQUIRE_REDIS();
  RedisServer server({.password = "pa:ss@word"});
  ASSERT_TRUE(server.start()) << server.log();
  // Over the socket, with a password that needs escaping in the URL.
  RedisAddress address;
  std::string reason;
  ASSERT_TRUE(parseRedisUrl("unix://:pa%3Ass%40word@" + server.socketPath(), address, reason))
      << reason;
  Store s(address, 1000ms, 30);
  const std::string key = s.capture("", "sid=1; path=/");
  EXPECT_EQ(server.command({"TYPE", "test:" + key}).text, "hash");
  EXPECT_EQ(server.command({"GET", "test:"}).text, key.substr(key.find("0x") + 2));
  const auto ttl = [&] { return server.command({"PTTL", "test:" + key}).integer; };
  EXPECT_GT(ttl(), 30 * 60000 - 5000);
  EXPECT_LE(ttl(), 30 * 60000);
  // Every use renews it.
  server.command({"PEXPIRE", "test:" + key, "5000"});
  ASSERT_TRUE(s.lookup(key));
  EXPECT_GT(ttl(), 30 * 60000 - 5000);
  server.command({"PEXPIRE", "test:" + key, "5000"});
  s.capture(key, "other=2");
  EXPECT_GT(ttl(), 30 * 60000 - 5000);
  // A deletion alone is no use.
  server.command({"PEXPIRE", "test:" + key, "5000"});
  s.capture(key, "other=; expires=x");
  EXPECT_LE(ttl(), 5000);

  // The server forgot the scripts: they are sent whole.
  server.command({"SCRIPT", "FLUSH"});
  EXPECT_EQ(s.lookup(key)->at({"sid", "/"}).value, "1");
  // It restarted: the pooled connection it closed is replaced, no outage.
  server.stop();
  ASSERT_TRUE(server.start());
  EXPECT_FALSE(s.lookup(key));  // no persistence
  EXPECT_FALSE(s.capture("", "a=1").empty());
  EXPECT_TRUE(s.seen().empty()) << s.seen().front();
  EXPECT_EQ(s.fallback.size(), 0u);

  // Timeout 0 drops an entry within a minute, as the in-memory sweep does.
  Store brief(address, 1000ms, 0);
  const std::string briefKey = brief.capture("", "a=1");
  EXPECT_LE(server.command({"PTTL", "test:" + briefKey}).integer, 60000);
  EXPECT_GT(server.command({"PTTL", "test:" + briefKey}).integer, 50000);
}

TEST(RedisStore, RefusingServersLeaveTheStockToThisProcess) {
  REQUIRE_REDIS();
  RedisServer plain;
  ASSERT_TRUE(plain.start());
  const unsigned unused = test::freePort();
  struct Case {
    const char* name;
    RedisServer::Options options;
    std::string password;  // given by the URL
    std::string reason;
  } cases[] = {
      {"wrong password", {.password = "right"}, "wrong", "WRONGPASS"},
      // Redis refuses long commands before AUTH with a protocol error.
      {"password missing", {.password = "right"}, "", "unauthenticated"},
      {"read-only replica",
       {.extra = {"--replicaof", "127.0.0.1", std::to_string(unused)}},
       "",
       "READONLY"},
      {"out of memory", {.extra = {"--maxmemory", "1"}}, "", "OOM"},
      {"not running", {}, "", "Connection refused"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    RedisServer server(c.options);
    if (c.reason != "Connection refused") {
      ASSERT_TRUE(server.start()) << server.log();
    }
    RedisAddress address = server.address();
    address.password = c.password;
    Store s(address);
    std::string key;
    const auto took = timed([&] { key = s.capture("", "sid=secret-value; path=/"); });
    EXPECT_LT(took, 100ms + kSlack);
    ASSERT_FALSE(key.empty());
    EXPECT_EQ(s.fallback.size(), 1u);
    ASSERT_TRUE(s.lookup(key));
    EXPECT_EQ(s.lookup(key)->at({"sid", "/"}).value, "secret-value");
    // While the backoff runs, Redis is not asked at all.
    EXPECT_FALSE(s.lookup("AAAAAAAAAAAAAAAA0x1"));
    const auto reports = s.seen();
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_NE(reports[0].find(c.reason), std::string::npos) << reports[0];
    EXPECT_NE(reports[0].find(address.describe()), std::string::npos) << reports[0];
    for (const std::string& secret : {key, std::string("secret-value"), std::string("right")})
      EXPECT_EQ(reports[0].find(secret), std::string::npos) << reports[0];
    EXPECT_TRUE(s.store.down());
  }
}

TEST(RedisStore, StoppedMidRunThenBack) {
  REQUIRE_REDIS();
  RedisServer server;
  ASSERT_TRUE(server.start());
  Store s(server.address());
  const std::string before = s.capture("", "sid=1");
  ASSERT_TRUE(s.lookup(before));

  server.stop();
  std::string during;
  for (int i = 0; i < 20; ++i) {
    EXPECT_LT(timed([&] { EXPECT_FALSE(s.lookup(before)); }), 100ms + kSlack);
    EXPECT_LT(timed([&] { during = s.capture(during, "n=" + std::to_string(i)); }), 100ms + kSlack);
  }
  ASSERT_FALSE(during.empty());
  EXPECT_EQ(s.lookup(during)->at({"n", ""}).value, "19");

  // Slow rather than gone: a paused server is waited for no longer.
  ASSERT_TRUE(server.start());
  const auto back = std::chrono::steady_clock::now() + 10s;
  std::string after;
  while (std::chrono::steady_clock::now() < back &&
         !server.command({"KEYS", "test:*0x*"}).items.size()) {
    after = s.capture("", "sid=2");
    std::this_thread::sleep_for(50ms);
  }
  ASSERT_FALSE(s.store.down());
  EXPECT_EQ(s.lookup(during)->at({"n", ""}).value, "19");  // still served here
  EXPECT_EQ(s.lookup(after)->at({"sid", ""}).value, "2");
  EXPECT_FALSE(s.fallback.contains(after));

  server.command({"CLIENT", "PAUSE", "1500", "ALL"});
  EXPECT_LT(timed([&] { EXPECT_FALSE(s.lookup(after)); }), 100ms + kSlack);
  EXPECT_TRUE(s.store.down());

  const auto reports = s.seen();
  ASSERT_EQ(reports.size(), 3u) << reports.back();
  EXPECT_NE(reports[0].find("unavailable (cannot connect"), std::string::npos) << reports[0];
  EXPECT_NE(reports[1].find("is back after"), std::string::npos) << reports[1];
  EXPECT_NE(reports[2].find("no answer within the timeout"), std::string::npos) << reports[2];
}

// Both stores given the same random responses (sets, deletions, cookies
// set again, values that look like the stored format, past the per-entry
// bound, keys renewed or not, captures after lookups) keep the same cookies
// and move keys alike.
TEST(RedisStore, RandomResponsesLeaveWhatTheMemoryStockLeaves) {
  REQUIRE_REDIS();
  RedisServer server;
  ASSERT_TRUE(server.start());
  Store s(server.address());
  CookieStocker memory;
  std::mt19937 random(21);
  const auto pick = [&random](int n) { return static_cast<int>(random() % n); };
  const char* tails[] = {"", "; path=/", "; secure", "; Max-Age=600", "; Max-Age=0"};
  const std::string kValues[] = {"0", "1", "12:34"};
  std::string inRedis, inMemory;
  for (int round = 0; round < 400; ++round) {
    std::vector<std::string> values;
    for (int n = 1 + pick(round < 100 ? 12 : 3); n > 0; --n)
      values.push_back("c" + std::to_string(pick(64)) + "=" + kValues[pick(3)] +
                       tails[pick(std::size(tails))]);
    const std::vector<std::string_view> views(values.begin(), values.end());
    CaptureOptions options;
    options.renewKey = pick(2) == 0;
    SCOPED_TRACE(::testing::Message() << "round " << round << ", renew " << options.renewKey);
    const std::string redisBefore = inRedis, memoryBefore = inMemory;
    ASSERT_EQ(s.store.capture(inRedis, views, "UA", options), S_OK);
    ASSERT_EQ(memory.capture(inMemory, views, "UA", options), S_OK);
    ASSERT_EQ(inRedis != redisBefore, inMemory != memoryBefore);
    const auto fromRedis = s.lookup(inRedis);
    const auto fromMemory = memory.lookup(inMemory, "UA");
    ASSERT_EQ(fromRedis.has_value(), fromMemory.has_value());
    if (!fromRedis) continue;
    std::vector<std::string> seenRedis, seenMemory;
    for (const auto& [id, c] : *fromRedis) seenRedis.push_back(c.name + c.path + c.value + c.flag);
    for (const auto& [id, c] : *fromMemory)
      seenMemory.push_back(c.name + c.path + c.value + c.flag);
    ASSERT_EQ(seenRedis, seenMemory);
  }
  EXPECT_TRUE(s.seen().empty());
}

// A capture right after a lookup that would change nothing of what the
// lookup read goes without a round trip; any other goes to Redis (its
// counter of cookies set moves).
TEST(RedisStore, CaptureThatChangesNothingAfterALookupSkipsRedis) {
  REQUIRE_REDIS();
  RedisServer server;
  ASSERT_TRUE(server.start());
  Store s(server.address());
  const struct {
    const char* name;
    std::vector<std::string_view> setCookies;
    const char* ua;
    bool lookupFirst, captureBetween, late, skips;
    std::size_t cookiesAfter;
  } cases[] = {
      {"b set again, the last set", {"b=2"}, "UA", true, false, false, true, 2},
      {"both again in their order", {"a=1", "b=2", "b=2"}, "UA", true, false, false, true, 2},
      {"deleting what is not held", {"c=; Max-Age=0", "b=2"}, "UA", true, false, false, true, 2},
      {"a set again, not the last set", {"a=1"}, "UA", true, false, false, false, 2},
      {"both in another order", {"b=2", "a=1"}, "UA", true, false, false, false, 2},
      {"another value", {"b=3"}, "UA", true, false, false, false, 2},
      {"another flag", {"b=2; secure"}, "UA", true, false, false, false, 2},
      {"a deadline", {"b=2; Max-Age=60"}, "UA", true, false, false, false, 2},
      {"deleting what is held", {"a=; Max-Age=0"}, "UA", true, false, false, false, 1},
      {"another User-Agent", {"b=2"}, "Other", true, false, false, false, 1},
      {"no lookup before", {"b=2"}, "UA", false, false, false, false, 2},
      {"a capture that wrote between", {"b=2"}, "UA", true, true, false, false, 2},
      {"a lookup too old", {"b=2"}, "UA", true, false, true, false, 2},
  };
  CaptureOptions renew;
  renew.renewKey = true;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string key = s.capture(s.capture("", "a=1"), "b=2");
    if (c.lookupFirst) {
      ASSERT_TRUE(s.lookup(key));
    }
    if (c.captureBetween) s.capture(key, "b=3");
    if (c.late) std::this_thread::sleep_for(RedisSeenEntries::kTrusted + 100ms);
    const auto counter = [&] { return server.command({"HGET", "test:" + key, "n"}).text; };
    const std::string before = counter();
    std::string after = key;
    ASSERT_EQ(s.store.capture(after, c.setCookies, c.ua, renew), S_OK);
    // Redis asked: the key moved on, or the cookies set again were counted.
    EXPECT_EQ(after == key && counter() == before, c.skips);
    const auto cookies = s.lookup(after, c.ua);
    ASSERT_TRUE(cookies);
    EXPECT_EQ(cookies->size(), c.cookiesAfter);
  }
  // What a large entry held is not kept.
  const std::string large = "big=" + std::string(kMaxCookieBytes - 3, 'v');
  const std::string key = s.capture("", large);
  ASSERT_TRUE(s.lookup(key));
  s.capture(key, large);
  EXPECT_EQ(server.command({"HGET", "test:" + key, "n"}).text, "2");
  EXPECT_TRUE(s.seen().empty());
}

TEST(RedisStoreConcurrency, ManyThreadsCaptureAndRestoreOneKey) {
  REQUIRE_REDIS();
  RedisServer server;
  ASSERT_TRUE(server.start());
  Store s(server.address(), 5000ms);
  const std::string key = s.capture("", "start=1");
  constexpr int kThreads = 8;
  constexpr int kRounds = 60;
  std::vector<std::thread> threads;
  std::atomic<int> missing{0};
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      const std::string name = "t" + std::to_string(t);
      for (int round = 1; round <= kRounds; ++round) {
        std::string mine = key;
        const std::string value = name + "=" + std::to_string(round);
        const std::string deleted = "gone" + name + "=; expires=x";
        EXPECT_EQ(s.store.capture(mine, {value, deleted}, "UA"), S_OK);
        StockedCookies cookies;
        const auto own =
            s.store.lookup(key, "UA", cookies) == S_OK ? cookies.find({name, ""}) : cookies.end();
        if (own == cookies.end() || own->second.value != std::to_string(round)) ++missing;
        // The same cookie again, as a site sends it on every page: what the
        // lookup read may spare the round trip while others write.
        std::string again = key;
        EXPECT_EQ(s.store.capture(again, {value}, "UA"), S_OK);
      }
    });
  }
  for (auto& thread : threads) thread.join();
  EXPECT_EQ(missing, 0);
  const auto cookies = s.lookup(key);
  ASSERT_TRUE(cookies);
  EXPECT_EQ(cookies->size(), kThreads + 1u);
  for (int t = 0; t < kThreads; ++t)
    EXPECT_EQ(cookies->at({"t" + std::to_string(t), ""}).value, std::to_string(kRounds));
  EXPECT_TRUE(s.seen().empty());
}

TEST(RedisStoreConcurrency, ManyThreadsThroughAnOutage) {
  REQUIRE_REDIS();
  RedisServer server;
  ASSERT_TRUE(server.start());
  // A timeout that a busy or sanitized build does not meet by accident, so
  // that the only outage is the real one.
  constexpr auto kTimeout = 1000ms;
  Store s(server.address(), kTimeout);
  std::atomic<bool> done{false};
  std::atomic<long long> slowest{0};
  std::atomic<int> lost{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&] {
      while (!done) {
        std::string key;
        const auto took = timed([&] {
          EXPECT_EQ(s.store.capture(key, {"a=1"}, "UA"), S_OK);
          StockedCookies cookies;
          // Wherever the key was made, its login is found again.
          if (s.store.lookup(key, "UA", cookies) != S_OK) ++lost;
        });
        long long seen = slowest;
        while (took.count() > seen && !slowest.compare_exchange_weak(seen, took.count())) {
        }
      }
    });
  }
  std::this_thread::sleep_for(300ms);
  server.stop();
  std::this_thread::sleep_for(500ms);
  ASSERT_TRUE(server.start());
  std::this_thread::sleep_for(4000ms);
  done = true;
  for (auto& thread : threads) thread.join();
  // A capture and a lookup, each within the timeout.
  EXPECT_LT(slowest, (2 * (kTimeout + kSlack)).count());
  // A lookup that meets the start of the outage finds nothing.
  EXPECT_LE(lost, 4);
  const auto reports = s.seen();
  ASSERT_GE(reports.size(), 2u);
  EXPECT_NE(reports.front().find("unavailable"), std::string::npos) << reports.front();
  EXPECT_NE(reports.back().find("is back after"), std::string::npos) << reports.back();
  EXPECT_FALSE(s.store.down());
}

}  // namespace
}  // namespace vantomer
