// The server against hostile clients and hostile upstreams, over real
// sockets: framing, limits, and what the filter is handed.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/socket.h>

#include <atomic>
#include <memory>
#include <thread>

#include "support/host_http.h"
#include "support/host_process.h"
#include "support/paths.h"

namespace vantomer::test {
namespace {

using namespace std::chrono_literals;
using After = TestUpstream::After;

const std::string kIMode = "DoCoMo/2.0 P903i(c100;TB;W24H12)";
const std::string kPageType = "text/x-telmark; charset=UTF-8";
const std::string kPage = "<html><body><p>page</p><a href=\"next.tm\">next</a></body></html>";

std::string settings(const std::string& extra = "") {
  return R"(<?xml version="1.0" encoding="UTF-8"?>
<Vantomer>)" +
         extra +
         R"(
  <NewOutputCoordinator>
    <UAPattern>DoCoMo.*</UAPattern>
    <EmojiType>i-mode</EmojiType>
    <CodePage>932</CodePage>
    <Charset>Shift_JIS</Charset>
    <ContentType>application/xhtml+xml</ContentType>
  </NewOutputCoordinator>
</Vantomer>
)";
}

bool contains(const std::string& haystack, const std::string& needle) {
  return haystack.find(needle) != std::string::npos;
}

class Host {
 public:
  explicit Host(const std::string& settingsText = settings()) : port(freePort()) {
    module = dir.copy(modulePath(), "module/vantomer.so");
    dir.write("module/Vantomer.setting", settingsText);
    dir.write("module/Emoji.setting", "<emoji/>");
    dir.write("root/page.tm", kPage);
    dir.write("root/sub/index.html", "index");
  }
  void start(std::vector<std::string> args) {
    args.insert(args.begin(), {"serve", "--module", module, "--listen",
                               "127.0.0.1:" + std::to_string(port), "--threads", "2"});
    process = std::make_unique<ChildProcess>(hostPath(), args, dir.path());
    ASSERT_TRUE(process->waitForPort(port)) << process->err();
  }
  void root(std::vector<std::string> args = {}) {
    args.insert(args.begin(), {"--root", dir.file("root")});
    start(args);
  }
  void proxy(const TestUpstream& upstream, std::vector<std::string> args = {}) {
    args.insert(args.begin(),
                {"--upstream", "http://127.0.0.1:" + std::to_string(upstream.port())});
    start(args);
  }

  ServerDir dir;
  std::string module;
  unsigned port;
  std::unique_ptr<ChildProcess> process;
};

// Sends raw bytes on a fresh connection; the response, if any.
std::optional<HttpResponse> roundTrip(unsigned port, const std::string& bytes,
                                      std::chrono::milliseconds timeout = 5s) {
  HttpConnection c(port);
  c.send(bytes);
  return c.read(false, timeout);
}

// --- Framing ---------------------------------------------------------------

TEST(Framing, RequestsWithAmbiguousFramingOrHostAreRefusedAndClosed) {
  Host host;
  host.root();
  const struct {
    const char* what;
    std::string request;
    int status;
  } cases[] = {
      {"coding list",
       "GET /page.tm HTTP/1.1\r\nHost: a\r\nTransfer-Encoding: chunked, identity\r\n\r\n"
       "5\r\nGET /\r\n0\r\n\r\n",
       400},
      {"two codings",
       "POST / HTTP/1.1\r\nHost: a\r\nTransfer-Encoding: chunked\r\n"
       "Transfer-Encoding: chunked\r\n\r\n0\r\n\r\n",
       400},
      {"no Host", "GET /page.tm HTTP/1.1\r\n\r\n", 400},
      {"two Hosts", "GET /page.tm HTTP/1.1\r\nHost: a\r\nHost: b\r\n\r\n", 400},
      {"sound", "GET /sub/ HTTP/1.1\r\nHost: a\r\n\r\n", 200},
  };
  for (const auto& c : cases) {
    HttpConnection connection(host.port);
    connection.send(c.request);
    auto response = connection.read();
    ASSERT_TRUE(response) << c.what;
    EXPECT_EQ(response->status, c.status) << c.what;
    if (c.status != 200) {
      EXPECT_TRUE(connection.closedByPeer()) << c.what;
      EXPECT_TRUE(connection.pending().empty()) << c.what << ": a second response";
    }
  }
}

TEST(Framing, DirectoryRedirectStaysOnTheSite) {
  Host host;
  host.root();
  for (const std::string target : {"//evil.example/..", "/\\evil.example/..", "/sub", "//sub"}) {
    auto response = roundTrip(host.port, "GET " + target + " HTTP/1.1\r\nHost: a\r\n\r\n");
    ASSERT_TRUE(response) << target;
    if (response->status != 301) continue;
    const std::string location = response->header("Location").value_or("");
    EXPECT_EQ(location.substr(0, 1), "/") << target;
    EXPECT_NE(location.substr(0, 2), "//") << target;
    EXPECT_NE(location.substr(0, 2), "/\\") << target;
    EXPECT_FALSE(contains(location, "evil")) << target;
  }
  auto sub = roundTrip(host.port, "GET /sub HTTP/1.1\r\nHost: a\r\n\r\n");
  ASSERT_TRUE(sub);
  EXPECT_EQ(sub->header("Location"), "/sub/");
}

TEST(Framing, TrailersAndHeaderTricksNeverReachTheUpstream) {
  TestUpstream upstream([](const UpstreamRequest& r, int fd) {
    TestUpstream::write(fd, TestUpstream::response(200, "text/plain", "got:" + r.body));
    return After::KeepOpen;
  });
  Host host;
  host.proxy(upstream);
  // Trailers of a chunked body.
  auto posted =
      roundTrip(host.port,
                "POST /form HTTP/1.1\r\nHost: site.example\r\nTransfer-Encoding: chunked\r\n"
                "\r\n4\r\nbody\r\n0\r\nHost: evil.example\r\nCookie: a=b\r\n"
                "X-Cookie-Stock-Key: stolen\r\n\r\n");
  ASSERT_TRUE(posted);
  EXPECT_EQ(posted->body, "got:body");
  // An absolute-form target, a Connection header naming Host and Cookie, a
  // stock key of the client's own in both spellings.
  auto named = roundTrip(host.port,
                         "GET http://target.example/x HTTP/1.1\r\nHost: other.example\r\n"
                         "Connection: Host, Cookie\r\nCookie: c=d\r\nX_Cookie_Stock_Key: k1\r\n"
                         "X-Cookie-Stock-Key: k2\r\n\r\n");
  ASSERT_TRUE(named);
  const auto requests = upstream.requests();
  ASSERT_EQ(requests.size(), 2u);
  int hosts = 0;
  for (const auto& [name, value] : requests[0].headers) hosts += name == "Host";
  EXPECT_EQ(hosts, 1);
  EXPECT_EQ(requests[0].header("Host"), "site.example");
  EXPECT_FALSE(requests[0].header("Cookie"));
  EXPECT_FALSE(requests[0].header("X-Cookie-Stock-Key"));
  EXPECT_EQ(requests[1].url, "/x");
  EXPECT_EQ(requests[1].header("Host"), "target.example");
  EXPECT_EQ(requests[1].header("Cookie"), "c=d");
  EXPECT_FALSE(requests[1].header("X_Cookie_Stock_Key"));
  EXPECT_EQ(requests[1].header("X-Cookie-Stock-Key").value_or(""), "");
}

TEST(Framing, UpstreamFramingIsSettledBeforeTheClientSeesIt) {
  TestUpstream upstream([](const UpstreamRequest& r, int fd) {
    const std::string chunked = "4\r\nbody\r\n0\r\n\r\n";
    if (r.url == "/bare-lf")
      TestUpstream::write(fd,
                          "HTTP/1.1 200 OK\nContent-Type: text/plain\nContent-Length: 4\n\nbody");
    else if (r.url == "/gzip")
      TestUpstream::write(fd,
                          "HTTP/1.1 200 OK\r\nTransfer-Encoding: gzip, chunked\r\n\r\n" + chunked);
    else if (r.url == "/two")
      TestUpstream::write(fd,
                          "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n"
                          "Transfer-Encoding: chunked\r\n\r\n" +
                              chunked);
    else if (r.url == "/blank")
      TestUpstream::write(fd,
                          "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked \r\n"
                          "Content-Length: 99\r\n\r\n" +
                              chunked);
    return After::Close;
  });
  Host host;
  host.proxy(upstream);
  const struct {
    const char* url;
    int status;
  } cases[] = {{"/bare-lf", 200}, {"/gzip", 502}, {"/two", 502}, {"/blank", 200}};
  for (const auto& c : cases) {
    auto response = fetch(host.port, c.url);
    ASSERT_TRUE(response) << c.url;
    EXPECT_EQ(response->status, c.status) << c.url;
    const std::string head = response->raw.substr(0, response->raw.find("\r\n\r\n"));
    for (std::size_t i = head.find('\n'); i != std::string::npos; i = head.find('\n', i + 1))
      EXPECT_EQ(head[i - 1], '\r') << c.url;
    if (c.status == 200) {
      EXPECT_EQ(response->body, "body") << c.url;
      EXPECT_FALSE(response->header("Content-Length") && response->header("Transfer-Encoding"))
          << c.url;
    }
  }
}

// --- Limits ----------------------------------------------------------------

TEST(Limits, AtTheConnectionCapIdleConnectionsGoFirstThenNewOnesAreRefused) {
  Host host;
  host.root({"--max-connections", "3"});
  std::vector<std::unique_ptr<HttpConnection>> idle;
  for (int i = 0; i < 3; ++i) {
    idle.push_back(std::make_unique<HttpConnection>(host.port));
    idle.back()->send(requestText("GET", "/sub/"));
    ASSERT_TRUE(idle.back()->read());
  }
  // A new client takes an idle one's place.
  auto served = fetch(host.port, "/sub/");
  ASSERT_TRUE(served);
  EXPECT_EQ(served->status, 200);
  // Busy ones (half a head each) are never closed for it: the next is refused.
  std::vector<std::unique_ptr<HttpConnection>> busy;
  for (int i = 0; i < 3; ++i) {
    busy.push_back(std::make_unique<HttpConnection>(host.port));
    busy.back()->send("GET /page.tm HTTP/1.1\r\n");
    std::this_thread::sleep_for(100ms);
  }
  std::this_thread::sleep_for(300ms);
  auto refused = fetch(host.port, "/page.tm");
  ASSERT_TRUE(refused);
  EXPECT_EQ(refused->status, 503);
}

TEST(Limits, RequestBodiesAreBoundedInTimeAndMemory) {
  TestUpstream upstream([](const UpstreamRequest&, int fd) {
    TestUpstream::write(fd, TestUpstream::response(200, "text/plain", "ok"));
    return After::KeepOpen;
  });
  Host host;
  host.proxy(upstream, {"--body-timeout", "1s", "--read-timeout", "5s", "--max-body-memory", "1M"});
  // A trickle that keeps every read alive still meets the body timeout.
  HttpConnection trickle(host.port);
  trickle.send("POST / HTTP/1.1\r\nHost: a\r\nContent-Length: 100\r\n\r\n");
  const auto started = std::chrono::steady_clock::now();
  std::optional<HttpResponse> timedOut;
  std::thread feeder([&] {
    for (int i = 0; i < 12 && trickle.send("x"); ++i) std::this_thread::sleep_for(200ms);
  });
  timedOut = trickle.read(false, 5s);
  feeder.join();
  ASSERT_TRUE(timedOut);
  EXPECT_EQ(timedOut->status, 408);
  EXPECT_LT(std::chrono::steady_clock::now() - started, 3s);
  // Two bodies that together pass the shared bound: the second is refused.
  HttpConnection first(host.port);
  first.send("POST / HTTP/1.1\r\nHost: a\r\nContent-Length: 700000\r\n\r\nxx");
  std::this_thread::sleep_for(200ms);
  auto second =
      roundTrip(host.port, "POST / HTTP/1.1\r\nHost: a\r\nContent-Length: 700000\r\n\r\n");
  ASSERT_TRUE(second);
  EXPECT_EQ(second->status, 503);
  // A partial head that times out is answered too.
  Host slow;
  slow.root({"--read-timeout", "500ms"});
  auto partial = roundTrip(slow.port, "GET /page.tm HTTP/1.1\r\nHo", 5s);
  ASSERT_TRUE(partial);
  EXPECT_EQ(partial->status, 408);
}

TEST(Limits, RootAnswersWithoutReadingABodyItWillNotUse) {
  Host host;
  host.root();
  HttpConnection connection(host.port);
  // Announced, never sent: an answer that waited for it would never come.
  connection.send("POST /page.tm HTTP/1.1\r\nHost: a\r\nContent-Length: 9000000\r\n\r\n");
  auto response = connection.read(false, 3s);
  ASSERT_TRUE(response);
  EXPECT_EQ(response->status, 405);
  EXPECT_EQ(response->header("Connection"), "close");
  EXPECT_TRUE(connection.closedByPeer());
}

TEST(Limits, ResponsesSentWhileStoppingCloseTheConnection) {
  TestUpstream upstream([](const UpstreamRequest&, int fd) {
    std::this_thread::sleep_for(600ms);
    TestUpstream::write(fd, TestUpstream::response(200, "text/plain", "last"));
    return After::KeepOpen;
  });
  Host host;
  host.proxy(upstream);
  HttpConnection busy(host.port);
  busy.send(requestText("GET", "/slow"));
  std::this_thread::sleep_for(200ms);
  host.process->signal(SIGTERM);
  auto response = busy.read();
  ASSERT_TRUE(response);
  EXPECT_EQ(response->body, "last");
  EXPECT_EQ(response->header("Connection"), "close");
}

TEST(Limits, AHeldPageOverTheBoundEndsTheUpstreamConnection) {
  std::atomic<bool> cutOff{false};
  TestUpstream upstream([&](const UpstreamRequest&, int fd) {
    const std::string block(64 * 1024, 'a');
    TestUpstream::write(fd, "HTTP/1.1 200 OK\r\nContent-Type: " + kPageType +
                                "\r\nContent-Length: 1073741824\r\n\r\n<html><body><p>");
    for (int i = 0; i < 16384; ++i) {
      if (::send(fd, block.data(), block.size(), MSG_NOSIGNAL) < 0) {
        cutOff = true;
        break;
      }
    }
    return After::Close;
  });
  Host host(settings("<HeldResponseMaxBytes>100000</HeldResponseMaxBytes>"));
  host.proxy(upstream);
  auto response = fetch(host.port, "/big.tm", {{"User-Agent", kIMode}});
  ASSERT_TRUE(response);
  EXPECT_EQ(response->status, 500);
  for (int i = 0; i < 50 && !cutOff; ++i) std::this_thread::sleep_for(100ms);
  EXPECT_TRUE(cutOff);
}

// --- What the filter is handed --------------------------------------------

TEST(FilterInputs, HeadCarriesTheLengthGetWouldSendOrNone) {
  TestUpstream upstream([](const UpstreamRequest&, int fd) {
    TestUpstream::write(fd, "HTTP/1.1 200 OK\r\nContent-Type: " + kPageType +
                                "\r\nContent-Length: " + std::to_string(kPage.size()) + "\r\n\r\n");
    return After::KeepOpen;
  });
  Host root;
  root.root();
  auto get = fetch(root.port, "/page.tm", {{"User-Agent", kIMode}});
  auto head = fetch(root.port, "/page.tm", {{"User-Agent", kIMode}}, "HEAD");
  ASSERT_TRUE(get && head);
  EXPECT_EQ(head->header("Content-Length"), std::to_string(get->body.size()));
  EXPECT_TRUE(head->body.empty());
  Host proxy;
  proxy.proxy(upstream);
  auto proxied = fetch(proxy.port, "/page.tm", {{"User-Agent", kIMode}}, "HEAD");
  ASSERT_TRUE(proxied);
  EXPECT_EQ(proxied->status, 200);
  EXPECT_FALSE(proxied->header("Content-Length"));
}

TEST(FilterInputs, AHeldHeadWithBareLineFeedsIsConverted) {
  TestUpstream upstream([](const UpstreamRequest&, int fd) {
    TestUpstream::write(fd, "HTTP/1.1 200 OK\nContent-Type: " + kPageType + "\nContent-Length: " +
                                std::to_string(kPage.size()) + "\n\n" + kPage);
    return After::Close;
  });
  Host host;
  host.proxy(upstream);
  auto response = fetch(host.port, "/page.tm", {{"User-Agent", kIMode}});
  ASSERT_TRUE(response);
  EXPECT_EQ(response->status, 200);
  EXPECT_TRUE(contains(response->header("Content-Type").value_or(""), "application/xhtml+xml"));
}

}  // namespace
}  // namespace vantomer::test
