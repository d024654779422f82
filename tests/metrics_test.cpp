// `vantomer serve --metrics-listen`: known requests move each counter by
// exactly what was sent, and the output is well-formed Prometheus text.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <memory>
#include <regex>
#include <sstream>
#include <thread>
#include <vector>

#include "support/host_http.h"
#include "support/host_process.h"
#include "support/paths.h"

namespace vantomer::test {
namespace {

using namespace std::chrono_literals;
using Samples = std::map<std::string, double>;  // name{labels as sent} -> value

const std::string kIMode = "DoCoMo/2.0 P903i(c100;TB;W24H12)";
const std::string kPage = "<html><body><p>page</p></body></html>";

// Parses the text format strictly: HELP then TYPE before a family's samples,
// names and quoted, escaped label values as the format allows them, one
// number, no series twice, histogram buckets cumulative up to +Inf = _count.
void parse(const std::string& text, Samples& samples) {
  static const std::regex kComment(R"x(# (HELP|TYPE) ([a-z_:][a-z0-9_:]*) (.*))x");
  static const std::regex kSample(
      R"x(([a-z_:][a-z0-9_:]*)(\{([a-z_]+="([^"\\\n]|\\[\\"n])*",?)*\})? (\S+))x");
  static const std::regex kLe(R"x(le="([^"]*)")x");
  std::map<std::string, std::string> types;  // family -> type; "" after HELP alone
  std::map<std::string, std::vector<std::pair<double, double>>> buckets;  // family -> (le, n)
  std::istringstream lines(text);
  for (std::string line; std::getline(lines, line);) {
    std::smatch m;
    if (std::regex_match(line, m, kComment)) {
      if (m[1] == "HELP")
        EXPECT_TRUE(types.emplace(m[2], "").second) << line;
      else
        EXPECT_TRUE(types.contains(m[2]) && std::exchange(types[m[2]], m[3]).empty()) << line;
      continue;
    }
    ASSERT_TRUE(std::regex_match(line, m, kSample)) << line;
    std::string family = m[1];
    for (const std::string suffix : {"_bucket", "_sum", "_count"})
      if (family.ends_with(suffix) &&
          types[family.substr(0, family.size() - suffix.size())] == "histogram")
        family.resize(family.size() - suffix.size());
    EXPECT_FALSE(types[family].empty()) << "no TYPE before " << line;
    std::size_t used = 0;
    const double value = std::stod(m[5], &used);
    EXPECT_EQ(used, m[5].length()) << line;
    EXPECT_TRUE(samples.emplace(line.substr(0, m.position(5) - 1), value).second) << line;
    std::smatch le;
    const std::string labels = m[2];
    if (family + "_bucket" == m[1] && std::regex_search(labels, le, kLe))
      buckets[family].push_back({le[1] == "+Inf" ? INFINITY : std::stod(le[1]), value});
  }
  EXPECT_TRUE(text.ends_with('\n'));
  for (auto& [family, list] : buckets) {
    std::sort(list.begin(), list.end());
    for (std::size_t i = 1; i < list.size(); ++i) EXPECT_LE(list[i - 1].second, list[i].second);
    EXPECT_EQ(list.back(), std::make_pair(double(INFINITY), samples[family + "_count"]));
  }
}

// A server with metrics, a DoCoMo-only profile and a root of pages.
struct Server {
  explicit Server(std::vector<std::string> behind) : port(freePort()), metrics(freePort()) {
    const std::string module = dir.copy(modulePath(), "module/vantomer.so");
    dir.write("module/Vantomer.setting",
              "<Vantomer><NewOutputCoordinator><UAPattern>DoCoMo.*</UAPattern>"
              "<ContentType>application/xhtml+xml</ContentType></NewOutputCoordinator></Vantomer>");
    dir.write("module/Emoji.setting", "<emoji/>");
    dir.write("root/page.tm", kPage);
    dir.write("root/broken.tm", "<html><body><p>unclosed</body></html>");
    dir.write("root/file.txt", "plain text");
    if (behind.empty()) behind = {"--root", dir.file("root")};
    behind.insert(behind.begin(),
                  {"serve", "--module", module, "--listen", "127.0.0.1:" + std::to_string(port),
                   "--metrics-listen", "127.0.0.1:" + std::to_string(metrics), "--no-access-log"});
    process = std::make_unique<ChildProcess>(hostPath(), behind, dir.path());
    EXPECT_TRUE(process->waitForPort(port) && process->waitForPort(metrics)) << process->err();
  }

  Samples scrape() {
    auto response = fetch(metrics, "/metrics");
    if (!response || response->status != 200) return {};
    EXPECT_EQ(response->header("Content-Type"), "text/plain; version=0.0.4; charset=utf-8");
    Samples samples;
    parse(response->body, samples);
    return samples;
  }

  // Sends each request on a connection of its own; the bytes both ways.
  void send(const std::string& request, int status, bool head = false) {
    HttpConnection connection(port);
    ASSERT_TRUE(connection.send(request));
    auto response = connection.read(head);
    ASSERT_TRUE(response) << request;
    EXPECT_EQ(response->status, status) << request;
    traffic["vantomer_connections_accepted_total"] += 1;
    traffic["vantomer_http_received_bytes_total"] += static_cast<double>(request.size());
    traffic["vantomer_http_sent_bytes_total"] += static_cast<double>(response->raw.size());
  }

  // The counters once every connection has closed (waitForPort's too).
  Samples settled() {
    Samples now = scrape();
    for (int i = 0; i < 100 && now["vantomer_connections_open"] != 0; ++i) {
      std::this_thread::sleep_for(20ms);
      now = scrape();
    }
    return now;
  }

  // What moved since before beyond the traffic sent, leaving out the timings.
  Samples movedSince(Samples before) {
    Samples out;
    for (const auto& [series, value] : settled())
      if (const double delta = value - before[series] - traffic[series];
          delta != 0 && !series.starts_with("vantomer_http_request_duration_seconds_"))
        out[series] = delta;
    return out;
  }

  ServerDir dir;
  unsigned port, metrics;
  std::unique_ptr<ChildProcess> process;
  Samples traffic;
};

std::string get(const std::string& url, const std::string& agent = kIMode,
                const std::string& method = "GET") {
  return requestText(method, url, {{"User-Agent", agent}});
}

std::string requests(const std::string& method, const std::string& statusClass) {
  return "vantomer_http_requests_total{method=\"" + method + "\",status_class=\"" + statusClass +
         "\"}";
}

TEST(Metrics, CountersMoveByExactlyTheRequestsSent) {
  const std::string converted =
      "vantomer_conversions_total{type_in=\"text/x-telmark\",type_out=\"application/xhtml+xml\"}";
  Server root({});
  const Samples before = root.settled();
  ASSERT_FALSE(before.empty());
  EXPECT_EQ(before.at("vantomer_build_info{version=\"" VANTOMER_VERSION "\"}"), 1);
  for (int i = 0; i < 3; ++i) root.send(get("/page.tm"), 200);
  root.send(get("/page.tm", kIMode, "HEAD"), 200, true);
  root.send(get("/broken.tm"), 200);             // the error page, converted like a page
  root.send(get("/page.tm", "Other/1.0"), 500);  // no profile: the filter's 500
  root.send(get("/file.txt"), 200);
  for (int i = 0; i < 2; ++i) root.send(get("/missing.tm"), 404);
  root.send("NOT HTTP\r\n\r\n", 400);
  // The metrics listener answers nothing else, and counts none of its own.
  for (const auto& [method, url] :
       {std::pair("GET", "/"), {"GET", "/metricsx"}, {"POST", "/metrics"}})
    EXPECT_EQ(fetch(root.metrics, url, {}, method).value_or(HttpResponse{}).status, 404) << url;
  EXPECT_EQ(root.movedSince(before), (Samples{{requests("GET", "2xx"), 5},
                                              {requests("HEAD", "2xx"), 1},
                                              {requests("GET", "4xx"), 2},
                                              {requests("GET", "5xx"), 1},
                                              {requests("other", "4xx"), 1},
                                              {converted, 5},
                                              {"vantomer_conversion_failures_total", 1}}));
  // Every request with a head is timed.
  EXPECT_EQ(root.scrape()["vantomer_http_request_duration_seconds_count"] -
                before.at("vantomer_http_request_duration_seconds_count"),
            9);

  // The application's own 500, held or not, is no failed conversion; an
  // upstream that is not there is an upstream failure.
  TestUpstream upstream([](const UpstreamRequest& r, int fd) {
    if (r.url == "/slow") std::this_thread::sleep_for(1500ms);
    TestUpstream::write(
        fd, TestUpstream::response(500, r.url == "/held" ? "text/x-telmark" : "text/plain", kPage));
    return TestUpstream::After::KeepOpen;
  });
  Server proxy({"--upstream", "http://127.0.0.1:" + std::to_string(upstream.port()),
                "--upstream-timeout", "500ms"});
  Server nowhere({"--upstream", "http://127.0.0.1:" + std::to_string(freePort())});
  const Samples proxyBefore = proxy.settled(), nowhereBefore = nowhere.settled();
  proxy.send(get("/held"), 500);
  proxy.send(get("/plain"), 500);
  proxy.send(get("/slow"), 504);
  for (int i = 0; i < 2; ++i) nowhere.send(get("/page.tm"), 502);
  EXPECT_EQ(proxy.movedSince(proxyBefore), (Samples{{requests("GET", "5xx"), 3},
                                                    {converted, 1},
                                                    {"vantomer_upstream_timeouts_total", 1}}));
  EXPECT_EQ(
      nowhere.movedSince(nowhereBefore),
      (Samples{{requests("GET", "5xx"), 2}, {"vantomer_upstream_connect_failures_total", 2}}));
}

}  // namespace
}  // namespace vantomer::test
