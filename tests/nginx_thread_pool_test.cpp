// One nginx worker whose filter takes long at the end of a held response
// still serves its other connections meanwhile when the work goes to the
// thread pool, and makes them wait when the pool is off.

#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <thread>

#include "support/both_hosts.h"

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
    ASSERT_TRUE(host.start(host.configuration(root, pool ? "" : "  vantomer_thread_pool off;\n")))
        << host.errorLog();
    // The slow page is asked first; the small file while the filter works.
    auto slow = std::async(std::launch::async, [&] {
      auto response = fetch(host.port, "/slow.hold");
      return std::make_pair(response, Clock::now());
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    auto small = fetch(host.port, "/small.txt");
    const auto smallDone = Clock::now();
    const auto [held, slowDone] = slow.get();
    ASSERT_TRUE(small && held) << pool;
    EXPECT_EQ(small->body, "small");
    EXPECT_TRUE(held->body.starts_with("held ")) << held->body.substr(0, 40);
    // Not a time bound: which of the two was answered first.
    EXPECT_EQ(smallDone < slowDone, pool) << (pool ? "the small file waited" : "no wait inline");
  }
}

}  // namespace
}  // namespace vantomer::test
