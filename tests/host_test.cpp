// The vantomer executable end to end: the server over real sockets in front
// of a directory or an upstream, with the real module (and a small test
// filter for the interface promises), plus the convert and check tools.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <memory>
#include <regex>
#include <set>
#include <thread>

#include "support/both_hosts.h"
#include "support/serve_host.h"

namespace vantomer::test {
namespace {

using namespace std::chrono_literals;
using After = TestUpstream::After;
using Host = ServeHost;
const std::string& kSettings = kSmallSettings;
const std::string& kEmoji = kSmallEmoji;

TEST(HostServe, DirectoryResponsesGoThroughTheFilter) {
  Host host;
  host.dir.write("www/page.tm", kPage);
  host.dir.write("www/plain.html", "<p>plain</p>");
  host.dir.write("www/sub/index.tm", kPage);
  host.dir.write("secret.txt", "outside the root");
  host.dir.write("www/.hidden.txt", "hidden");
  // Links that stay inside the root are followed, relative or absolute; one
  // that leads out is not, nor is a FIFO opened (it would stall a thread).
  std::filesystem::create_symlink("plain.html", host.dir.file("www/relative-link.html"));
  std::filesystem::create_symlink(host.dir.file("www/plain.html"),
                                  host.dir.file("www/absolute-link.html"));
  std::filesystem::create_symlink("../secret.txt", host.dir.file("www/escape.txt"));
  std::filesystem::create_symlink(host.dir.file("secret.txt"), host.dir.file("www/escape2.txt"));
  std::filesystem::create_symlink("..", host.dir.file("www/up"));
  ASSERT_EQ(::mkfifo(host.dir.file("www/fifo.txt").c_str(), 0644), 0);
  host.start({"--root", host.dir.file("www"), "--mime", ".tm=" + kPageType});

  struct Case {
    std::string url;
    std::string agent;
    int status;
    std::string type;
    std::vector<std::string> body;
  } cases[] = {
      {"/page.tm", kIMode, 200, "application/xhtml+xml; charset=Shift_JIS", {kSjisA + kSjisSun}},
      {"/page.tm", kPc, 200, "text/html; charset=UTF-8", {"あ<img src=\"/e/001.gif\" alt=\"\"/>"}},
      {"/sub/", kIMode, 200, "application/xhtml+xml; charset=Shift_JIS", {kSjisA}},
      {"/sub", kIMode, 301, "text/plain; charset=utf-8", {}},
      {"/plain.html?x=1", kIMode, 200, "text/html", {"<p>plain</p>"}},
      {"/../secret.txt", kPc, 404, "text/plain; charset=utf-8", {}},
      {"/%2e%2e/secret.txt", kPc, 404, "text/plain; charset=utf-8", {}},
      {"/missing.tm", kPc, 404, "text/plain; charset=utf-8", {}},
      {"/.hidden.txt", kPc, 404, "text/plain; charset=utf-8", {}},
      {"/relative-link.html", kPc, 200, "text/html", {"<p>plain</p>"}},
      {"/absolute-link.html", kPc, 200, "text/html", {"<p>plain</p>"}},
      {"/escape.txt", kPc, 404, "text/plain; charset=utf-8", {}},
      {"/escape2.txt", kPc, 404, "text/plain; charset=utf-8", {}},
      {"/up/secret.txt", kPc, 404, "text/plain; charset=utf-8", {}},
      {"/sub/../plain.html", kPc, 200, "text/html", {"<p>plain</p>"}},
      {"/fifo.txt", kPc, 404, "text/plain; charset=utf-8", {}},
  };
  for (const Case& c : cases) {
    auto response = fetch(host.port, c.url, {{"User-Agent", c.agent}});
    ASSERT_TRUE(response) << c.url;
    EXPECT_EQ(response->status, c.status) << c.url;
    EXPECT_EQ(response->header("Content-Type"), c.type) << c.url;
    EXPECT_EQ(response->header("Content-Length"), std::to_string(response->body.size())) << c.url;
    for (const std::string& part : c.body)
      EXPECT_TRUE(contains(response->body, part)) << c.url << ": " << response->body;
  }
  EXPECT_EQ(fetch(host.port, "/sub", {})->header("Location"), "/sub/");
  EXPECT_EQ(fetch(host.port, "/page.tm", {}, "POST", "x")->status, 405);
  // One combined log line per request, on stdout.
  EXPECT_TRUE(contains(host.process->out(), "\"GET /page.tm HTTP/1.1\" 200 "));
}

TEST(HostServe, ProxyForwardsTheRequestAndKeepsTheUpstreamFraming) {
  TestUpstream upstream([](const UpstreamRequest& r, int fd) {
    if (r.url == "/chunked.txt") {
      TestUpstream::write(
          fd,
          "HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\n"
          "Transfer-Encoding: chunked\r\n\r\n5\r\nhello\r\n6\r\n world\r\n0\r\n\r\n");
    } else if (r.url == "/chunked.tm") {
      TestUpstream::write(
          fd, "HTTP/1.1 200 OK\r\nContent-Type: " + kPageType +
                  "\r\nTransfer-Encoding: chunked\r\n\r\n10\r\n" + kPage.substr(0, 16) + "\r\n" +
                  [&] {
                    char size[16];
                    std::snprintf(size, sizeof size, "%zx", kPage.size() - 16);
                    return std::string(size);
                  }() +
                  "\r\n" + kPage.substr(16) + "\r\n0\r\n\r\n");
    } else if (r.url == "/unchanged.tm") {
      TestUpstream::write(fd,
                          "HTTP/1.1 304 Not Modified\r\nContent-Type: " + kPageType + "\r\n\r\n");
    } else {
      TestUpstream::write(fd, TestUpstream::response(200, "text/plain", "echo:" + r.body));
    }
    return After::KeepOpen;
  });
  Host host;
  host.start({"--upstream", upstreamUrl(upstream)});

  auto posted = fetch(host.port, "/form?a=b",
                      {{"Host", "handset.example:8080"},
                       {"Connection", "keep-alive, X-Private"},
                       {"X-Private", "dropped"},
                       {"X-Forwarded-For", "10.0.0.1"},
                       {"Accept-Encoding", "gzip"}},
                      "POST", "name=value");
  ASSERT_TRUE(posted);
  EXPECT_EQ(posted->body, "echo:name=value");
  const UpstreamRequest seen = upstream.requests().at(0);
  EXPECT_EQ(seen.method, "POST");
  EXPECT_EQ(seen.url, "/form?a=b");
  EXPECT_EQ(seen.body, "name=value");
  EXPECT_EQ(seen.header("Host"), "handset.example:8080");
  EXPECT_EQ(seen.header("X-Forwarded-For"), "10.0.0.1, 127.0.0.1");
  EXPECT_EQ(seen.header("X-Forwarded-Proto"), "http");
  EXPECT_EQ(seen.header("X-Forwarded-Host"), "handset.example:8080");
  EXPECT_EQ(seen.header("Accept-Encoding"), "identity");
  EXPECT_FALSE(seen.header("X-Private"));
  EXPECT_FALSE(seen.header("Connection"));

  // A passed response keeps its chunk framing; a held one is decoded and
  // converted, and goes out with a Content-Length.
  auto chunked = fetch(host.port, "/chunked.txt", {{"User-Agent", kIMode}});
  ASSERT_TRUE(chunked);
  EXPECT_TRUE(chunked->chunked);
  EXPECT_EQ(chunked->body, "hello world");
  auto converted = fetch(host.port, "/chunked.tm", {{"User-Agent", kIMode}});
  ASSERT_TRUE(converted);
  EXPECT_FALSE(converted->chunked);
  EXPECT_EQ(converted->header("Content-Length"), std::to_string(converted->body.size()));
  EXPECT_TRUE(contains(converted->body, kSjisA + kSjisSun));
  // A converted 304 keeps no body, and the connection stays usable.
  HttpConnection connection(host.port);
  for (int i = 0; i < 2; ++i) {
    connection.send(requestText("GET", "/unchanged.tm", {{"User-Agent", kIMode}}));
    auto unchanged = connection.read();
    ASSERT_TRUE(unchanged);
    EXPECT_EQ(unchanged->status, 304);
    EXPECT_TRUE(unchanged->body.empty());
  }
  EXPECT_TRUE(connection.pending().empty());
  // Every request went over one pooled upstream connection.
  EXPECT_EQ(upstream.connections(), 1);
}

TEST(HostServe, CookieImitationRoundTripThroughTheUpstream) {
  TestUpstream upstream([](const UpstreamRequest& r, int fd) {
    if (r.url == "/login") {
      TestUpstream::write(
          fd, TestUpstream::response(200, kPageType,
                                     "<html><body><a href=\"/member/home\">home</a></body></html>",
                                     {{"Set-Cookie", "session=s3cret; path=/"}}));
    } else {
      TestUpstream::write(fd, TestUpstream::response(200, "text/plain",
                                                     "cookie=" + r.header("Cookie").value_or("")));
    }
    return After::KeepOpen;
  });
  Host host;
  host.start({"--upstream", upstreamUrl(upstream)});

  auto login = fetch(host.port, "/login", {{"User-Agent", kIMode}});
  ASSERT_TRUE(login);
  const std::size_t start = login->body.find("/member/(=");
  ASSERT_NE(start, std::string::npos) << login->body;
  const std::string link = login->body.substr(start, login->body.find('"', start) - start);
  const std::string key = link.substr(10, link.find("=)") - 10);

  auto member = fetch(host.port, link, {{"User-Agent", kIMode}});
  ASSERT_TRUE(member);
  EXPECT_TRUE(member->body.starts_with("cookie=session=s3cret")) << member->body;
  const UpstreamRequest seen = upstream.requests().back();
  EXPECT_EQ(seen.url, "/member/home");
  EXPECT_EQ(seen.header("X-Cookie-Stock-Key"), key);
  // Another handset with the same key gets nothing.
  auto other = fetch(host.port, link, {{"User-Agent", "DoCoMo/2.0 N905i"}});
  ASSERT_TRUE(other);
  EXPECT_EQ(other->body, "cookie=");
}

TEST(HostServe, UpstreamFailuresAreAnsweredAndTheServerKeepsServing) {
  TestUpstream upstream([](const UpstreamRequest& r, int fd) {
    const std::string partial = "HTTP/1.1 200 OK\r\nContent-Length: 1000\r\nContent-Type: ";
    if (r.url == "/reset-held" || r.url == "/reset-passed") {
      TestUpstream::write(fd, partial + (r.url == "/reset-held" ? kPageType : "text/plain") +
                                  "\r\n\r\n<html><body>");
      std::this_thread::sleep_for(100ms);
      return After::Reset;
    }
    if (r.url == "/reset-head") {
      TestUpstream::write(fd, "HTTP/1.1 200 OK\r\nContent-Le");
      return After::Reset;
    }
    if (r.url == "/slow") std::this_thread::sleep_for(1500ms);
    TestUpstream::write(fd, TestUpstream::response(200, "text/plain", "fine"));
    return After::KeepOpen;
  });
  const unsigned closedPort = freePort();
  Host refused;
  refused.start({"--upstream", "http://127.0.0.1:" + std::to_string(closedPort)});
  EXPECT_EQ(fetch(refused.port, "/", {})->status, 502);

  Host host;
  host.start({"--upstream", upstreamUrl(upstream), "--upstream-timeout", "0.5"});
  struct Case {
    std::string url;
    int status;
  } cases[] = {{"/reset-head", 502}, {"/reset-held", 502}, {"/slow", 504}, {"/ok", 200}};
  for (const Case& c : cases) {
    auto response = fetch(host.port, c.url, {{"User-Agent", kIMode}});
    ASSERT_TRUE(response) << c.url;
    EXPECT_EQ(response->status, c.status) << c.url;
  }
  // A response already on its way can only be cut off.
  HttpConnection cut(host.port);
  cut.send(requestText("GET", "/reset-passed"));
  EXPECT_FALSE(cut.read());
  EXPECT_TRUE(cut.closedByPeer());
  EXPECT_EQ(fetch(host.port, "/ok", {})->body, "fine");
}

TEST(HostServe, OversizedOrMalformedRequestsAreRefused) {
  Host host;
  host.dir.write("www/a.txt", "a");
  host.start({"--root", host.dir.file("www"), "--max-header-size", "8k", "--max-body-size", "1k"});
  struct Case {
    std::string request;
    int status;
  } cases[] = {
      {requestText("GET", "/a.txt", {{"X-Big", std::string(64 * 1024, 'x')}}), 431},
      {requestText("POST", "/a.txt", {{"Content-Length", "4096"}}), 413},
      {"GET /a.txt HTTP/1.1\r\nBad Header\r\n\r\n", 400},
      {"GET a.txt HTTP/1.1\r\nHost: x\r\n\r\n", 400},
  };
  for (const Case& c : cases) {
    HttpConnection connection(host.port);
    connection.send(c.request);
    auto response = connection.read();
    ASSERT_TRUE(response) << c.status;
    EXPECT_EQ(response->status, c.status);
    EXPECT_TRUE(connection.closedByPeer());
  }
  EXPECT_EQ(fetch(host.port, "/a.txt", {})->status, 200);
}

TEST(HostServe, TlsListenerMarksItsRequestsSecure) {
  if (runProgram("openssl", {"version"}).status != 0)
    GTEST_SKIP() << "no openssl binary (`scripts/setup.sh` installs it)";
  if (runProgram("curl", {"--version"}).status != 0)
    GTEST_SKIP() << "no curl binary (`scripts/setup.sh` installs it)";
  TestUpstream upstream([](const UpstreamRequest&, int fd) {
    TestUpstream::write(fd, TestUpstream::response(200, "text/plain", "over tls"));
    return After::KeepOpen;
  });
  Host host(std::string(VANTOMER_BINARY_DIR) + "/vantomer_testfilter.so");
  const std::string cert = host.dir.file("cert.pem"), key = host.dir.file("key.pem");
  ASSERT_TRUE(makeCertificate(cert, key));
  const unsigned tlsPort = freePort();
  host.start({"--upstream", upstreamUrl(upstream), "--tls-cert", cert, "--tls-key", key,
              "--tls-listen", "127.0.0.1:" + std::to_string(tlsPort)});
  ASSERT_TRUE(host.process->waitForPort(tlsPort));
  const std::string url = "https://127.0.0.1:" + std::to_string(tlsPort) + "/secure";
  CommandResult curl = runProgram("curl", {"-sk", "--http1.1", url, url});
  EXPECT_EQ(curl.status, 0) << curl.err;
  EXPECT_EQ(curl.out, "over tlsover tls");
  ASSERT_EQ(upstream.requests().size(), 2u);
  EXPECT_TRUE(contains(upstream.requests()[0].header("X-Filter-Vars").value_or(""), "|HTTPS=on|"));
  EXPECT_EQ(upstream.requests()[0].header("X-Forwarded-Proto"), "https");
  EXPECT_EQ(upstream.requests()[1].header("X-Filter-Request"), "2");
  ASSERT_TRUE(fetch(host.port, "/plain"));
  EXPECT_TRUE(contains(upstream.requests()[2].header("X-Filter-Vars").value_or(""), "|HTTPS=off|"));
}

TEST(HostServe, StopWaitsForTheRequestInFlight) {
  TestUpstream upstream([](const UpstreamRequest&, int fd) {
    std::this_thread::sleep_for(800ms);
    TestUpstream::write(fd, TestUpstream::response(200, "text/plain", "finished"));
    return After::KeepOpen;
  });
  Host host;
  host.start({"--upstream", upstreamUrl(upstream)});
  HttpConnection idle(host.port);
  HttpConnection busy(host.port);
  busy.send(requestText("GET", "/slow"));
  std::this_thread::sleep_for(300ms);
  host.process->signal(SIGTERM);
  auto response = busy.read();
  ASSERT_TRUE(response);
  EXPECT_EQ(response->body, "finished");
  EXPECT_TRUE(idle.closedByPeer());
  EXPECT_EQ(host.process->wait(10s), std::optional<int>(0)) << host.process->err();
  EXPECT_TRUE(contains(host.process->err(), "stopped"));
}

// The sample site as a newcomer serves it, without --mime: every link and
// form of every page reached from the start page answers, in readable text.
// Pages that need an application point at the demo, outside this site.
TEST(HostServe, TheSampleSiteWorksAsServed) {
  const std::string examples = sourceDir() + "/examples/";
  Host host(modulePath(), readFile(examples + "Vantomer.setting"),
            readFile(examples + "Emoji.setting"));
  host.start({"--root", examples + "pages"});
  const std::regex target("(?:href|action)=\"([^\"#]*)[^\"]*\"");
  std::set<std::string> seen{"/index.tm"};
  std::vector<std::string> queue{"/index.tm"};
  while (!queue.empty()) {
    const std::string url = queue.back();
    queue.pop_back();
    auto response = fetch(host.port, url, {{"User-Agent", kPc}});
    ASSERT_TRUE(response) << url;
    EXPECT_EQ(response->status, 200) << url;
    EXPECT_TRUE(contains(response->body, "Vantomerポータル")) << url << ": " << response->body;
    EXPECT_FALSE(contains(response->body, "method=\"post\"")) << url;
    const std::string path = url.substr(0, url.find('?'));
    for (std::sregex_iterator it(response->body.begin(), response->body.end(), target), end;
         it != end; ++it) {
      std::string link = (*it)[1];
      if (link.empty() || link.find(':') != std::string::npos) continue;  // tel:, the demo
      if (link.front() == '?')
        link = path + link;
      else if (link.front() != '/')
        link = path.substr(0, path.rfind('/') + 1) + link;
      for (std::size_t up; (up = link.find("/../")) != std::string::npos;)
        link.erase(link.rfind('/', up - 1), up + 3 - link.rfind('/', up - 1));
      if (contains((*it)[0], "action=")) link += "?q=x";
      if (seen.insert(link).second) queue.push_back(link);
    }
  }
  EXPECT_GE(seen.size(), 15u);
}

}  // namespace
}  // namespace vantomer::test
