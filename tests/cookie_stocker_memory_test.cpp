// The in-memory cookie stock alone: its clock, its bounds on entries and
// bytes, its lock.

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <set>
#include <thread>
#include <vector>

#include "cookie/cookie_stocker.h"

namespace vantomer {
namespace {

std::atomic<uint32_t> gTick{0};
uint32_t fakeClock() { return gTick.load(); }

constexpr uint32_t kMinute = 60000;

class StockerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    gTick = 0;
    stock.setClockForTesting(&fakeClock);
  }
  std::string capture(std::string key, const char* setCookie, const char* ua = "UA") {
    stock.capture(key, setCookie, ua);
    return key;
  }
  CookieStocker stock;
};

// Folding random bytes by a modulo would make the first 48 letters a quarter
// more likely than the last four.
TEST_F(StockerTest, LettersAreEvenlyDrawn) {
  std::vector<int> counts(128, 0);
  for (int i = 0; i < 2000; ++i) {
    const std::string key = capture("", "a=1; expires=x");
    for (int j = 0; j < CookieStocker::kKeyLength; ++j)
      ++counts[static_cast<unsigned char>(key[j])];
  }
  double head = 0, tail = 0;
  for (const char* p = CookieStocker::kAlphabet; *p; ++p)
    (p - CookieStocker::kAlphabet < 48 ? head : tail) += counts[static_cast<unsigned char>(*p)];
  head /= 48;
  tail /= 4;
  EXPECT_NEAR(tail / head, 1.0, 0.1);
}

TEST_F(StockerTest, SweepByIdleTime) {
  const struct {
    int32_t timeoutMinutes;
    uint32_t used;
    uint32_t swept;
    bool survives;
  } cases[] = {
      {60, 5 * kMinute, 64 * kMinute, true},
      {60, 5 * kMinute, 65 * kMinute, false},
      {60, 5 * kMinute, 65 * kMinute - 1, true},
      {60, 5 * kMinute, 200 * kMinute, false},
      {0, 5 * kMinute, 5 * kMinute, false},
      {1, 0, kMinute - 1, true},
      // Shortly after the tick starts (or wraps): still younger than the timeout.
      {60, 1000, 1000 + kMinute, true},
      {60, 0, kMinute, true},
      // Across the 2^32 wrap.
      {60, 0xFFFFFFFFu - 30000, 30000, true},
      {60, 0xFFFFFFFFu - 30000, 60 * kMinute - 30001, false},
      {60, 0xFFFFFFFFu - 30000, 60 * kMinute - 30002, true},
      // Too large for 32-bit milliseconds: held at the largest threshold.
      {100000, 0, 0xFFFFFFFEu, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.timeoutMinutes << " " << c.used << " " << c.swept);
    stock.clear();
    stock.timeoutMinutes = c.timeoutMinutes;
    gTick = c.used;
    const std::string key = capture("", "a=1");
    gTick = c.swept;
    stock.sweep();
    EXPECT_EQ(stock.lookup(key, "UA").has_value(), c.survives);
  }
}

TEST_F(StockerTest, CaptureAndLookupRefreshTheEntry) {
  stock.timeoutMinutes = 60;
  const std::string key = capture("", "a=1");
  gTick = 50 * kMinute;
  ASSERT_TRUE(stock.lookup(key, "UA"));
  gTick = 100 * kMinute;
  stock.sweep();
  ASSERT_TRUE(stock.lookup(key, "UA"));
  gTick = 150 * kMinute;
  capture(key, "b=2");
  gTick = 200 * kMinute;
  stock.sweep();
  EXPECT_EQ(stock.size(), 1u);
}

#if defined(__SANITIZE_THREAD__) || defined(__SANITIZE_ADDRESS__)
constexpr bool kSanitized = true;
#else
constexpr bool kSanitized = false;
#endif

TEST_F(StockerTest, BoundEvictsTheEntryIdleLongest) {
  // A hundred thousand captures take a fifth of a second, but many seconds
  // under a sanitizer, which looks for other faults.
  if (kSanitized) GTEST_SKIP() << "too slow under a sanitizer";
  for (std::size_t i = 0; i < CookieStocker::kMaxEntries; ++i) {
    gTick = static_cast<uint32_t>(i);  // tick order must not matter: it wraps
    capture("k" + std::to_string(i), "a=1");
  }
  gTick = 0;
  ASSERT_TRUE(stock.lookup("k0", "UA"));      // now the most recent
  capture("k1", "b=2");                       // an existing key makes no room
  EXPECT_FALSE(stock.lookup("k1", "other"));  // a removal leaves the order intact
  capture("new1", "a=1");
  capture("new2", "a=1");
  capture("new3", "a=1");
  EXPECT_EQ(stock.size(), CookieStocker::kMaxEntries);
  for (const char* gone : {"k1", "k2", "k3"}) EXPECT_FALSE(stock.lookup(gone, "UA")) << gone;
  for (const char* kept : {"k0", "k4", "new1"}) EXPECT_TRUE(stock.lookup(kept, "UA")) << kept;
}

TEST_F(StockerTest, ByteBoundEvictsTheEntriesIdleLongest) {
  const std::string cookie = "a=" + std::string(1000, 'v');
  capture("k0", cookie.c_str());
  const std::size_t one = stock.bytes();
  EXPECT_GE(one, 1000 + CookieStocker::kEntryCharge + CookieStocker::kCookieCharge);
  stock.maxBytes = 3 * one;
  capture("k1", cookie.c_str());
  capture("k2", cookie.c_str());
  ASSERT_TRUE(stock.lookup("k0", "UA"));  // now the most recent
  capture("k3", cookie.c_str());
  EXPECT_EQ(stock.size(), 3u);
  EXPECT_FALSE(stock.lookup("k1", "UA"));
  for (const char* kept : {"k0", "k2", "k3"}) EXPECT_TRUE(stock.lookup(kept, "UA")) << kept;
  EXPECT_LE(stock.bytes(), stock.maxBytes);

  // An entry that grows makes room as well, but never at its own cost.
  stock.maxBytes = one;
  const std::string second = "b=" + std::string(1000, 'w');
  capture("k3", second.c_str());
  EXPECT_EQ(stock.size(), 1u);
  ASSERT_TRUE(stock.lookup("k3", "UA"));
  EXPECT_EQ(stock.lookup("k3", "UA")->size(), 2u);

  // Every byte is given back: replacing, deleting, removing.
  capture("k3", second.c_str());
  capture("k3", "b=; expires=x");
  EXPECT_EQ(stock.bytes(), one);
  EXPECT_FALSE(stock.lookup("k3", "other"));
  EXPECT_EQ(stock.bytes(), 0u);
}

TEST(StockerConcurrency, CaptureLookupAndSweepAtOnce) {
  CookieStocker stock;
  stock.timeoutMinutes = 0;  // every sweep empties the stock
  constexpr int kThreads = 4;
  constexpr int kRounds = 400;
  std::vector<std::vector<std::string>> keys(kThreads);
  std::atomic<bool> done{false};

  std::thread sweeper([&] {
    while (!done) stock.sweep();
  });
  std::vector<std::thread> workers;
  for (int t = 0; t < kThreads; ++t) {
    workers.emplace_back([&, t] {
      const std::string ua = "UA" + std::to_string(t);
      for (int i = 0; i < kRounds; ++i) {
        std::string key;
        stock.capture(key, "a=1; path=/", ua);
        stock.capture(key, "b=2", ua);
        keys[t].push_back(key);
        if (auto cookies = stock.lookup(key, ua)) {
          EXPECT_LE(cookies->size(), 2u);
        }
        stock.lookup(key, "intruder");
        stock.size();
      }
    });
  }
  for (auto& w : workers) w.join();
  done = true;
  sweeper.join();

  // Keys and serials made at once are all distinct.
  std::set<std::string> all, serials;
  for (const auto& list : keys)
    for (const auto& key : list) {
      all.insert(key);
      serials.insert(key.substr(CookieStocker::kKeyLength));
    }
  EXPECT_EQ(all.size(), std::size_t{kThreads * kRounds});
  EXPECT_EQ(serials.size(), all.size());
}

}  // namespace
}  // namespace vantomer
