// Bounds on what one held page may take, through both hosts: header lines
// of real length, a page over a cap of its tree, and the memory budget of
// the conversions running at once.

#include <gtest/gtest.h>

#include <thread>

#include "support/both_hosts.h"

namespace vantomer::test {
namespace {

using After = TestUpstream::After;

// Header lines of real length, and a page over a cap of its tree, through
// each host (nginx with room for such a head, as its docs advise).
TEST(BothHosts, LongHeaderLinesAndTreeCapsOnBothHosts) {
  TestUpstream upstream([](const UpstreamRequest& r, int fd) {
    if (r.url.starts_with("/line/")) {
      const std::size_t bytes = std::stoul(r.url.substr(6));
      TestUpstream::write(
          fd, TestUpstream::response(200, kPageType, kPage,
                                     {{"X-Long", std::string(bytes - 8, 'p')}, {"X-After", "1"}}));
    } else {
      std::string page = "<html><body><p";
      for (int i = 0; i < 80000; ++i) page += " a" + std::to_string(i) + "=\"\"";
      TestUpstream::write(fd, TestUpstream::response(200, kPageType, page + "/></body></html>"));
    }
    return After::KeepOpen;
  });
  const auto sites = bothHosts([](const ServerDir&) {}, upstreamUrl(upstream));
  REQUIRE_RUNNING(sites);
  const struct {
    std::size_t lineBytes;
    int serve;
    int nginx;  // with proxy_buffer_size at the filter's 64 KiB head
  } cases[] = {{1023, 200, 200}, {1024, 200, 200}, {8192, 200, 200}, {17000, 500, 500}};
  for (const auto& site : sites) {
    const std::string name = site->name();
    for (const auto& c : cases) {
      auto response =
          fetch(site->port(), "/line/" + std::to_string(c.lineBytes), {{"User-Agent", kIMode}});
      ASSERT_TRUE(response) << name << " " << c.lineBytes;
      EXPECT_EQ(response->status, name == "nginx" ? c.nginx : c.serve) << name << c.lineBytes;
      if (response->status != 200) continue;
      EXPECT_EQ(response->header("X-Long").value_or("").size(), c.lineBytes - 8) << name;
      EXPECT_EQ(response->header("X-After"), "1") << name;
    }
    auto flood = fetch(site->port(), "/flood", {{"User-Agent", kIMode}});
    ASSERT_TRUE(flood) << name;
    EXPECT_EQ(flood->status, 200) << name;
    EXPECT_TRUE(contains(flood->body, "ERROR")) << name;
  }
}

// Large pages at once under a budget that holds one conversion: the others
// wait no time and get the 503 response, every response whole.
TEST(ServeHost, PagesWithoutRoomInTheConversionBudgetGet503) {
  std::string page = "<html><body>";
  while (page.size() < 1000000) page += "<a href=\"/p\">l</a>";
  page += "</body></html>";
  ServeSite site(
      [&](const ServerDir& dir) {
        std::string settings = exampleSettings();
        settings.replace(settings.find("<Vantomer>"), 10,
                         "<Vantomer><ConversionMemoryMaxMegabytes>1</ConversionMemoryMaxMegabytes>"
                         "<ConversionWaitMs>0</ConversionWaitMs>");
        dir.write("module/Vantomer.setting", settings);
        dir.write("www/big.tm", page);
      },
      "");
  ASSERT_TRUE(site.running());
  std::vector<std::optional<HttpResponse>> responses(8);
  std::vector<std::thread> clients;
  for (auto& response : responses)
    clients.emplace_back([&] {
      response = fetch(site.port(), "/big.tm", {{"User-Agent", kIMode}});
    });
  for (auto& client : clients) client.join();
  std::map<int, int> statuses;
  for (const auto& response : responses) {
    ASSERT_TRUE(response);
    ++statuses[response->status];
    EXPECT_EQ(response->header("Content-Length"), std::to_string(response->body.size()));
    if (response->status == 503) {
      EXPECT_EQ(response->header("Retry-After"), "1");
    }
  }
  EXPECT_GE(statuses[200], 1);
  EXPECT_GE(statuses[503], 1);
  EXPECT_EQ(statuses[200] + statuses[503], 8);
}

}  // namespace
}  // namespace vantomer::test
