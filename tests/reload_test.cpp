// SIGHUP to `vantomer serve`: the filter reads its files anew while clients
// keep coming, keeps its cookie stock, and refuses settings that would not
// load.

#include <gtest/gtest.h>

#include <atomic>
#include <csignal>
#include <thread>

#include "support/host_http.h"
#include "support/host_process.h"
#include "support/paths.h"

namespace vantomer::test {
namespace {

using namespace std::chrono_literals;

const std::string kAgent = "DoCoMo/2.0 P903i(c100;TB;W24H12)";

std::string settings(const std::string& pattern) {
  return "<Vantomer><NewOutputCoordinator><UAPattern>" + pattern +
         "</UAPattern><EmojiType>Comment</EmojiType></NewOutputCoordinator></Vantomer>";
}
std::string emoji(const std::string& comment) {
  return "<emoji><map num=\"1\" comment=\"" + comment + "\"/></emoji>";
}

// A page with one emoji; /login sets a cookie, every page shows the one sent.
TestUpstream::After application(const UpstreamRequest& request, int fd) {
  const std::string cookie = request.header("Cookie").value_or("");
  const std::string page =
      "<html><body><k-emoji num=\"1\"/><a href=\"/member\">m</a>[" + cookie + "]</body></html>";
  Fields extra;
  if (request.url == "/login") extra.push_back({"Set-Cookie", "sid=s1; path=/"});
  TestUpstream::write(fd,
                      TestUpstream::response(200, "text/x-telmark; charset=UTF-8", page, extra));
  return TestUpstream::After::KeepOpen;
}

TEST(Reload, NewSettingsWithoutAFailedRequestAndBrokenOnesRefused) {
  TestUpstream upstream(application);
  ServerDir dir;
  const std::string module = dir.copy(modulePath(), "module/vantomer.so");
  dir.write("module/Vantomer.setting", settings("DoCoMo.*"));
  dir.write("module/Emoji.setting", emoji("[old]"));
  const unsigned port = freePort();
  unsigned metricsPort = freePort();
  while (metricsPort == port) metricsPort = freePort();
  ChildProcess serve(
      hostPath(),
      {"serve", "--module", module, "--listen", "127.0.0.1:" + std::to_string(port), "--upstream",
       "http://127.0.0.1:" + std::to_string(upstream.port()), "--threads", "2", "--no-access-log",
       "--metrics-listen", "127.0.0.1:" + std::to_string(metricsPort)},
      dir.path());
  ASSERT_TRUE(serve.waitForPort(port)) << serve.err();

  const Fields handset = {{"User-Agent", kAgent}};
  const auto login = fetch(port, "/login", handset);
  ASSERT_TRUE(login);
  const std::size_t mark = login->body.find("href=\"/(=");
  ASSERT_NE(mark, std::string::npos) << login->body;
  const std::string link = login->body.substr(mark + 6, login->body.find('"', mark + 6) - mark - 6);

  std::atomic<bool> done{false};
  std::atomic<int> failed{0};
  std::thread client([&] {
    while (!done) {
      const auto page = fetch(port, "/page", handset);
      if (!page || page->status != 200) ++failed;
    }
  });
  auto body = [&] { return fetch(port, "/page", handset).value_or(HttpResponse{}).body; };

  dir.write("module/Emoji.setting", emoji("[new]"));
  serve.signal(SIGHUP);
  const auto deadline = std::chrono::steady_clock::now() + 10s;
  while (body().find("[new]") == std::string::npos && std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(20ms);
  EXPECT_NE(body().find("[new]"), std::string::npos) << serve.err();
  // The stocked login survives the reload.
  const auto member = fetch(port, link, handset);
  ASSERT_TRUE(member);
  EXPECT_NE(member->body.find("[sid=s1;"), std::string::npos) << member->body;

  // Settings that would not load are refused and the old ones stay.
  dir.write("module/Vantomer.setting", settings(std::string(1024, 'a')));
  dir.write("module/Emoji.setting", emoji("[broken]"));
  serve.signal(SIGHUP);
  const auto refusal = std::chrono::steady_clock::now() + 10s;
  while (serve.err().find("reload refused") == std::string::npos &&
         std::chrono::steady_clock::now() < refusal)
    std::this_thread::sleep_for(20ms);
  EXPECT_NE(serve.err().find("UAPattern"), std::string::npos) << serve.err();
  EXPECT_NE(body().find("[new]"), std::string::npos);

  done = true;
  client.join();
  EXPECT_EQ(failed, 0);
  // One reload took effect and one was refused (counted just after the log).
  std::string metrics;
  for (int i = 0; i < 100; ++i) {
    metrics = fetch(metricsPort, "/metrics").value_or(HttpResponse{}).body;
    if (metrics.find("\nvantomer_reload_failures_total 1\n") != std::string::npos) break;
    std::this_thread::sleep_for(50ms);
  }
  EXPECT_NE(metrics.find("\nvantomer_reloads_total 1\n"), std::string::npos) << metrics;
  EXPECT_NE(metrics.find("\nvantomer_reload_failures_total 1\n"), std::string::npos) << metrics;
  serve.signal(SIGTERM);
  EXPECT_EQ(serve.wait(10s), 0);
}

}  // namespace
}  // namespace vantomer::test
