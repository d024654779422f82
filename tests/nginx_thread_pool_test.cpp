// One nginx worker whose filter takes long at the end of a held response
// still serves its other connections meanwhile when the work goes to the
// thread pool, and makes them wait when the pool is off. Not a timed test:
// the pause is the filter's, the bound half of it.

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <future>
#include <thread>

#include "support/both_hosts.h"
#include "support/redis_server.h"

namespace vantomer::test {
namespace {

using Clock = std::chrono::steady_clock;

TEST(NginxModule, OtherConnectionsAreServedWhileAHeldPageConvertsOnThePool) {
  REQUIRE_NGINX();
  const std::string testFilter = std::string(VANTOMER_BINARY_DIR) + "/vantomer_testfilter.so";
  for (const bool pool : {true, false}) {
    NginxHost host(testFilter, exampleSettings(), exampleEmoji());
    host.dir.write("www/slow.hold", std::string(20000, 'h'));
    host.dir.write("www/small.txt", "small");
    const std::string root = "    root " + host.dir.file("www") +
                             ";\n    types { text/x-hold-slow hold; text/plain txt; }\n";
    const std::string mark = host.dir.file("slow-began");
    ASSERT_TRUE(host.start(host.configuration(root, pool ? "" : "  vantomer_thread_pool off;\n"),
                           {{"VANTOMER_TESTFILTER_MARK", mark}}))
        << host.errorLog();
    // The slow page is asked first; the small file once the filter works.
    auto slow = std::async(std::launch::async, [&] {
      auto response = fetch(host.port, "/slow.hold");
      return std::make_pair(response, Clock::now());
    });
    for (int i = 0; i < 1000 && !std::filesystem::exists(mark); ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    auto small = fetch(host.port, "/small.txt");
    const auto smallDone = Clock::now();
    const auto [held, slowDone] = slow.get();
    ASSERT_TRUE(small && held) << pool;
    EXPECT_EQ(small->body, "small");
    EXPECT_TRUE(held->body.starts_with("held ")) << held->body.substr(0, 40);
    // The filter pauses 400 ms: the small file is answered well before the
    // held page, or (inline) only once the pause is over, with it.
    const bool wellBefore = smallDone + std::chrono::milliseconds(200) < slowDone;
    EXPECT_EQ(wellBefore, pool) << (pool ? "the small file waited" : "no wait inline");
  }
}

// A key in the URL sends the stock's lookup to the pool: a Redis that
// accepts and never answers holds that request for its timeout, not the
// worker.
TEST(NginxModule, OtherConnectionsAreServedWhileTheRedisStockStalls) {
  REQUIRE_NGINX();
  if (!RedisServer::available()) GTEST_SKIP() << "redis-server is not installed";
  RedisServer redis;
  ASSERT_TRUE(redis.start()) << redis.log();
  TestUpstream upstream([](const UpstreamRequest& r, int fd) {
    TestUpstream::write(
        fd, r.url == "/login" ? loginPage() : TestUpstream::response(200, "text/plain", "app"));
    return TestUpstream::After::KeepOpen;
  });
  std::string settings = exampleSettings();
  settings.replace(settings.find("<Vantomer>"), 10,
                   "<Vantomer><CookieStockerRedis>" + redis.url() +
                       "</CookieStockerRedis><CookieStockerRedisTimeoutMs>1500"
                       "</CookieStockerRedisTimeoutMs>");
  NginxHost host(modulePath(), settings, exampleEmoji());
  host.dir.write("www/small.txt", "small");
  ASSERT_TRUE(host.start(host.configuration(proxyConfig(upstreamUrl(upstream)) +
                                            "    location = /small.txt { root " +
                                            host.dir.file("www") + "; }\n")))
      << host.errorLog();
  auto login = fetch(host.port, "/login", {{"User-Agent", kIMode}});
  ASSERT_TRUE(login);
  const std::size_t start = login->body.find("/member/(=");
  ASSERT_NE(start, std::string::npos) << login->body;
  const std::string link = login->body.substr(start, login->body.find('"', start) - start);

  redis.pause(true);
  const auto asked = Clock::now();
  auto marked = std::async(std::launch::async, [&] {
    auto response = fetch(host.port, link, {{"User-Agent", kIMode}});
    return std::make_pair(response, Clock::now());
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  auto small = fetch(host.port, "/small.txt");
  const auto smallDone = Clock::now();
  const auto [member, memberDone] = marked.get();
  redis.pause(false);
  ASSERT_TRUE(small && member);
  EXPECT_EQ(small->body, "small");
  EXPECT_EQ(member->status, 200);
  // The marked request waited for the stock; the small file did not.
  EXPECT_GT(memberDone - asked, std::chrono::milliseconds(1000));
  EXPECT_LT(smallDone + std::chrono::milliseconds(500), memberDone);
}

}  // namespace
}  // namespace vantomer::test
