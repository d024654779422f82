// The hosts of the filter end to end: a real nginx with the module and
// `vantomer serve`, with the real filter (or the test filter), over real
// sockets; where the behaviour is the same, one table runs against both
// (against `vantomer serve` alone where the nginx module is not built).

#include <dlfcn.h>
#include <gtest/gtest.h>
#include <libxml/parser.h>

#include <atomic>
#include <functional>
#include <memory>
#include <thread>

#include "support/both_hosts.h"
#include "support/redis_server.h"

namespace vantomer::test {
namespace {

using namespace std::chrono_literals;
using After = TestUpstream::After;

void writePages(const ServerDir& dir) {
  dir.write("www/page.tm", kPage);
  dir.write("www/plain.html", "<p>plain</p>");
  dir.write("www/sub/index.tm", kPage);
  dir.write("www/plain.txt", "plain text");
  dir.write("www/broken.tm", "<html><body><p>unclosed</body></html>");
}

TEST(BothHosts, FilterThatDoesNotLoadStopsTheHostWithTheReason) {
  Dl_info info{};
  ASSERT_NE(dladdr(reinterpret_cast<void*>(&xmlReadMemory), &info), 0);
  const std::string testFilter = std::string(VANTOMER_BINARY_DIR) + "/vantomer_testfilter.so";
  struct Case {
    std::string module;
    std::map<std::string, std::string> env;
    std::string message;
  } cases[] = {
      {"/nonexistent/vantomer.so", {}, "cannot load the filter module"},
      {"/etc/hostname", {}, "cannot load the filter module"},
      {info.dli_fname, {}, "does not export GetFilterVersion, HttpFilterProc, TerminateFilter"},
      {testFilter, {{"VANTOMER_TESTFILTER_REFUSE", "1"}}, "GetFilterVersion returned FALSE"},
  };
  for (const Case& c : cases) {
    ServerDir dir;
    ChildProcess serve(hostPath(), {"serve", "--module", c.module, "--root", dir.path()},
                       dir.path(), c.env);
    EXPECT_EQ(serve.wait(10s), std::optional<int>(1)) << c.module;
    EXPECT_TRUE(contains(serve.err(), c.message)) << c.module << ": " << serve.err();
    if (!nginxReady()) continue;

    // nginx: both `nginx -t` and the start fail, naming the directive.
    NginxHost host(modulePath(), exampleSettings(), exampleEmoji());
    host.filterPath = c.module;
    const std::string conf = host.configuration("");
    const std::string file = host.dir.write("nginx.conf", conf);
    ChildProcess tested(nginxPath(), {"-t", "-e", "stderr", "-p", host.dir.path(), "-c", file},
                        host.dir.path(), c.env);
    const auto status = tested.wait(20s);
    ASSERT_TRUE(status) << c.module;
    EXPECT_NE(*status, 0) << c.module;
    EXPECT_TRUE(contains(tested.err(), c.message)) << c.module << ": " << tested.err();
    EXPECT_TRUE(contains(tested.err(), "vantomer_filter \"" + c.module)) << tested.err();
    ASSERT_FALSE(host.start(conf, c.env)) << c.module;
    EXPECT_TRUE(contains(host.process->err() + host.errorLog(), c.message)) << c.module;
  }
}

TEST(BothHosts, DirectoryPagesAreConvertedOrPassedAlike) {
  const auto sites = bothHosts(writePages, "");
  REQUIRE_RUNNING(sites);
  struct Case {
    std::string url;
    std::string agent;
    int status;
    std::string type;
    std::vector<std::string> body;
  } cases[] = {
      {"/page.tm", kIMode, 200, kSjisType, {kSjisA, "next.tm"}},
      {"/page.tm", kPc, 200, "text/html; charset=UTF-8", {"あ"}},
      {"/sub/", kIMode, 200, kSjisType, {kSjisA}},
      {"/plain.html?x=1", kIMode, 200, "text/html", {"<p>plain</p>"}},
      {"/missing.tm", kIMode, 404, "", {}},
      {"/broken.tm", kIMode, 200, kSjisType, {"<title>ERROR</title>", "TELMARK Parse Error"}},
  };
  for (const auto& site : sites) {
    for (const Case& c : cases) {
      const std::string what = site->name() + " " + c.url + " " + c.agent;
      auto response = fetch(site->port(), c.url, {{"User-Agent", c.agent}});
      ASSERT_TRUE(response) << what;
      EXPECT_EQ(response->status, c.status) << what;
      if (!c.type.empty()) {
        EXPECT_EQ(response->header("Content-Type"), c.type) << what;
      }
      EXPECT_EQ(response->header("Content-Length"), std::to_string(response->body.size())) << what;
      for (const std::string& part : c.body)
        EXPECT_TRUE(contains(response->body, part)) << what << ": " << response->body;
    }
  }
  // The converted page is the same byte for byte from either host.
  if (sites.size() == 2) {
    EXPECT_EQ(fetch(sites[0]->port(), "/page.tm", {{"User-Agent", kIMode}})->body,
              fetch(sites[1]->port(), "/page.tm", {{"User-Agent", kIMode}})->body);
  }
}

TEST(BothHosts, KeepAliveConnectionCarriesHeldAndPassedResponses) {
  const auto sites = bothHosts(writePages, "");
  REQUIRE_RUNNING(sites);
  struct Step {
    std::string method;
    std::string url;
    int status;
    std::string body;
  } steps[] = {
      {"GET", "/page.tm", 200, kSjisA},
      {"GET", "/plain.txt", 200, "plain text"},
      {"HEAD", "/page.tm", 200, ""},
      {"GET", "/none", 404, "404 Not Found"},
      {"GET", "/page.tm", 200, kSjisA},
      {"HEAD", "/plain.txt", 200, ""},
      {"GET", "/plain.txt", 200, "plain text"},
  };
  for (const auto& site : sites) {
    HttpConnection connection(site->port());
    for (const Step& s : steps) {
      const std::string what = site->name() + " " + s.method + " " + s.url;
      ASSERT_TRUE(connection.send(requestText(s.method, s.url, {{"User-Agent", kIMode}})));
      auto response = connection.read(s.method == "HEAD");
      ASSERT_TRUE(response) << what;
      EXPECT_EQ(response->status, s.status) << what;
      if (s.method == "HEAD")
        EXPECT_TRUE(response->body.empty()) << what;
      else
        EXPECT_TRUE(contains(response->body, s.body)) << what;
    }
    EXPECT_TRUE(connection.pending().empty()) << site->name();
    EXPECT_FALSE(connection.closedByPeer(200ms)) << site->name();
  }
}

TEST(BothHosts, LargeFileThatIsNotHeldPassesThroughUntouched) {
  std::string big(20 * 1024 * 1024, '\0');
  for (std::size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>((i * 7919) >> 8);
  const auto sites = bothHosts([&](const ServerDir& dir) { dir.write("www/big.bin", big); }, "");
  REQUIRE_RUNNING(sites);
  for (const auto& site : sites) {
    auto response = fetch(site->port(), "/big.bin", {{"User-Agent", kIMode}});
    ASSERT_TRUE(response) << site->name() << logOf(*site);
    EXPECT_EQ(response->status, 200) << site->name();
    EXPECT_EQ(response->header("Content-Type"), "application/octet-stream") << site->name();
    ASSERT_EQ(response->body.size(), big.size()) << site->name();
    EXPECT_TRUE(response->body == big) << site->name();
  }
}

TEST(NginxModule, Http2ClientWithPriorKnowledgeGetsTheConvertedPage) {
  REQUIRE_NGINX();
  if (runProgram("curl", {"--version"}).status != 0)
    GTEST_SKIP() << "no curl binary (`scripts/setup.sh` installs it)";
  NginxSite nginx(writePages, "");
  ASSERT_TRUE(nginx.started);
  const std::string url = "http://127.0.0.1:" + std::to_string(nginx.host.h2Port) + "/page.tm";
  const CommandResult head = runProgram(
      "curl", {"-s", "-D", "-", "-o", "/dev/null", "--http2-prior-knowledge", "-A", kIMode, url});
  ASSERT_EQ(head.status, 0) << head.err;
  EXPECT_TRUE(head.out.starts_with("HTTP/2 200")) << head.out;
  EXPECT_TRUE(contains(head.out, "content-type: " + kSjisType)) << head.out;
  const CommandResult body =
      runProgram("curl", {"-s", "--http2-prior-knowledge", "-A", kIMode, url});
  EXPECT_EQ(body.out, fetch(nginx.port(), "/page.tm", {{"User-Agent", kIMode}})->body);
  EXPECT_TRUE(contains(head.out, "content-length: " + std::to_string(body.out.size())));
}

TEST(BothHosts, ProxiedPagesCookiesAndRedirectsAlike) {
  TestUpstream upstream([](const UpstreamRequest& r, int fd) {
    if (r.url == "/chunked.tm") {
      TestUpstream::write(
          fd, "HTTP/1.1 200 OK\r\nContent-Type: " + kPageType +
                  "\r\nTransfer-Encoding: chunked\r\n\r\n10\r\n" + kPage.substr(0, 16) + "\r\n" +
                  [] {
                    char size[16];
                    std::snprintf(size, sizeof size, "%zx", kPage.size() - 16);
                    return std::string(size);
                  }() +
                  "\r\n" + kPage.substr(16) + "\r\n0\r\n\r\n");
    } else if (r.url == "/dir/moved") {
      TestUpstream::write(fd, TestUpstream::response(302, kPageType, "<html><body/></html>",
                                                     {{"Location", "next.tm"}}));
    } else if (r.url == "/login") {
      TestUpstream::write(fd, loginPage());
    } else if (r.url == "/plain.txt") {
      TestUpstream::write(fd, TestUpstream::response(200, "text/plain", "plain from upstream"));
    } else {
      TestUpstream::write(fd, TestUpstream::response(200, "text/plain",
                                                     "cookie=" + r.header("Cookie").value_or("")));
    }
    return After::KeepOpen;
  });
  const auto sites = bothHosts([](const ServerDir&) {}, upstreamUrl(upstream));
  REQUIRE_RUNNING(sites);

  std::map<std::string, std::vector<HttpResponse>> seen;
  for (const auto& site : sites) {
    const std::string name = site->name();
    auto converted = fetch(site->port(), "/chunked.tm", {{"User-Agent", kIMode}});
    ASSERT_TRUE(converted) << name;
    EXPECT_EQ(converted->header("Content-Type"), kSjisType) << name;
    EXPECT_EQ(converted->header("Content-Length"), std::to_string(converted->body.size())) << name;
    EXPECT_TRUE(contains(converted->body, kSjisA)) << name;
    auto plain = fetch(site->port(), "/plain.txt", {{"User-Agent", kIMode}});
    ASSERT_TRUE(plain) << name;
    EXPECT_EQ(plain->body, "plain from upstream") << name;

    auto moved = fetch(site->port(), "/dir/moved", {{"User-Agent", kIMode}});
    ASSERT_TRUE(moved) << name;
    EXPECT_EQ(moved->status, 302) << name;
    const std::string location = moved->header("Location").value_or("");
    EXPECT_TRUE(location.ends_with("/dir/next.tm")) << name << ": " << location;

    // The login's cookie comes back through the key in the marked link.
    auto login = fetch(site->port(), "/login", {{"User-Agent", kIMode}});
    ASSERT_TRUE(login) << name;
    const std::size_t start = login->body.find("/member/(=");
    ASSERT_NE(start, std::string::npos) << name << ": " << login->body;
    const std::string link = login->body.substr(start, login->body.find('"', start) - start);
    auto member = fetch(site->port(), link, {{"User-Agent", kIMode}});
    ASSERT_TRUE(member) << name << " " << link << " " << logOf(*site);
    EXPECT_TRUE(member->body.starts_with("cookie=session=s3cret")) << name << ": " << member->body;
    EXPECT_EQ(upstream.requests().back().url, "/member/home") << name;
    auto other = fetch(site->port(), link, {{"User-Agent", "DoCoMo/2.0 N905i"}});
    ASSERT_TRUE(other) << name;
    EXPECT_EQ(other->body, "cookie=") << name;
    seen[name] = {*converted, *moved};
  }
  if (seen.size() == 2) {
    EXPECT_EQ(seen["nginx"][0].body, seen["vantomer serve"][0].body);
    EXPECT_EQ(seen["nginx"][1].header("Location"), seen["vantomer serve"][1].header("Location"));
  }
}

// Heads of different sizes follow each other on one connection: what one
// request carried or the filter changed must not reach the next.
TEST(BothHosts, EachRequestOnAConnectionReachesTheUpstreamWithItsOwnHeaders) {
  TestUpstream upstream([](const UpstreamRequest& r, int fd) {
    if (r.url == "/login") {
      TestUpstream::write(fd, loginPage());
    } else {
      auto echo = [&](const char* name) { return r.header(name).value_or("-"); };
      TestUpstream::write(
          fd, TestUpstream::response(200, "text/plain",
                                     r.url + " key=" + echo("X-Cookie-Stock-Key") +
                                         " extra=" + echo("X-Extra") + " cookie=" + echo("Cookie"),
                                     {{"X-Padding-" + std::to_string(r.url.size()), "p"}}));
    }
    return After::KeepOpen;
  });
  const auto sites = bothHosts([](const ServerDir&) {}, upstreamUrl(upstream));
  REQUIRE_RUNNING(sites);
  for (const auto& site : sites) {
    const std::string name = site->name();
    auto login = fetch(site->port(), "/login", {{"User-Agent", kIMode}});
    ASSERT_TRUE(login) << name;
    const std::size_t start = login->body.find("/member/(=");
    ASSERT_NE(start, std::string::npos) << name << ": " << login->body;
    const std::string link = login->body.substr(start, login->body.find('"', start) - start);
    const std::string key = link.substr(10, link.find("=)") - 10);
    const struct {
      std::string url;
      Fields headers;
      std::string seen;
    } steps[] = {
        {"/a",
         {{"X-Extra", "one"}, {"X-Cookie-Stock-Key", "chosen"}},
         "/a key= extra=one cookie=-"},
        {"/bb", {}, "/bb key=- extra=- cookie=-"},
        {link,
         {{"X-Extra", "two"}},
         "/member/home key=" + key + " extra=two cookie=session=s3cret;"},
        {"/ccc", {}, "/ccc key=- extra=- cookie=-"},
        {"/d", {{"Cookie", "own=1"}}, "/d key=- extra=- cookie=own=1"},
    };
    HttpConnection connection(site->port());
    for (const auto& s : steps) {
      Fields headers = s.headers;
      headers.push_back({"User-Agent", kIMode});
      ASSERT_TRUE(connection.send(requestText("GET", s.url, headers))) << name;
      auto response = connection.read(false);
      ASSERT_TRUE(response) << name << " " << s.url;
      EXPECT_EQ(response->body, s.seen) << name;
      EXPECT_EQ(response->header("X-Padding-" + std::to_string(s.seen.find(' '))), "p") << name;
    }
  }
}

TEST(BothHosts, FilterSeesTheInterfaceItIsPromised) {
  // The upstream frames the held page as each host's own test chose.
  std::atomic<bool> chunked = false;
  TestUpstream upstream([&](const UpstreamRequest& r, int fd) {
    if (r.url == "/held" && chunked)
      TestUpstream::write(fd,
                          "HTTP/1.1 200 OK\r\nContent-Type: text/x-hold\r\n"
                          "Transfer-Encoding: chunked\r\n\r\n5\r\nhello\r\n0\r\n\r\n");
    else if (r.url == "/held")
      TestUpstream::write(fd,
                          "HTTP/1.1 200 OK\r\nContent-Type: text/x-hold\r\n"
                          "Content-Length: 5\r\n\r\nhello");
    else
      TestUpstream::write(fd, TestUpstream::response(200, "text/plain", "ok"));
    return After::KeepOpen;
  });
  const auto sites = bothHosts([](const ServerDir&) {}, upstreamUrl(upstream),
                               std::string(VANTOMER_BINARY_DIR) + "/vantomer_testfilter.so");
  REQUIRE_RUNNING(sites);
  for (const auto& site : sites) {
    const std::string name = site->name();
    const bool serve = name == "vantomer serve";
    chunked = serve;
    const std::string port = std::to_string(site->port());
    HttpConnection first(site->port());
    first.send(
        requestText("GET", "/rewrite/x?q=1", {{"User-Agent", "agent/1"}, {"X-Replace-Me", "a"}}));
    ASSERT_TRUE(first.read()) << name;
    UpstreamRequest seen = upstream.requests().back();
    EXPECT_EQ(seen.url, "/x?q=1") << name;
    EXPECT_EQ(seen.header("X-Replace-Me"), "replaced") << name;
    const std::string probe =
        "header-small=FALSE;header-size=15;url-length=14;var-small=FALSE;var-size=11";
    EXPECT_EQ(seen.header("X-Filter-Probe"), probe) << name;
    // URL shows the filter's own change; headers it set read as variables.
    EXPECT_EQ(seen.header("X-Filter-Vars"),
              "URL=/x|QUERY_STRING=q=1|REQUEST_METHOD=GET|HTTPS=off|SERVER_PORT=" + port +
                  "|SERVER_NAME=127.0.0.1|SERVER_PROTOCOL=HTTP/1.1|REMOTE_ADDR=127.0.0.1"
                  "|HTTP_HOST=127.0.0.1|HTTP_USER_AGENT=agent/1|HTTP_X_FILTER_PROBE=" +
                  probe)
        << name;
    EXPECT_EQ(seen.header("X-Filter-Request"), "1") << name;

    // The slot of the connection lives on; the held head is what a client
    // would have received (from vantomer serve: the upstream's own bytes),
    // and the filter's own answer is framed by the host.
    first.send(requestText("GET", "/held"));
    auto held = first.read();
    ASSERT_TRUE(held) << name;
    EXPECT_EQ(upstream.requests().back().header("X-Filter-Request"), "2") << name;
    if (serve) {
      EXPECT_EQ(held->body.substr(held->body.find('\n') + 1),
                "HTTP/1.1 200 OK\r\nContent-Type: text/x-hold\r\nTransfer-Encoding: "
                "chunked\r\n\r\n5\r\nhello\r\n0\r\n\r\n");
    } else {
      EXPECT_TRUE(contains(held->body, "HTTP/1.1 200 OK\r\n")) << held->body;
      EXPECT_TRUE(contains(held->body, "Content-Type: text/x-hold\r\n")) << held->body;
      EXPECT_TRUE(held->body.ends_with("\r\n\r\nhello")) << held->body;
    }
    EXPECT_EQ(held->header("X-Scratch"), "intact") << name;
    first.send(requestText("GET", "/again"));
    ASSERT_TRUE(first.read()) << name;
    EXPECT_EQ(upstream.requests().back().header("X-Filter-Request"), "3") << name;

    ASSERT_TRUE(fetch(site->port(), "/other")) << name;
    EXPECT_EQ(upstream.requests().back().header("X-Filter-Request"), "1") << name;
  }
}

TEST(NginxModule, OffInAServerLeavesItsResponsesAlone) {
  REQUIRE_NGINX();
  NginxHost host(modulePath(), exampleSettings(), exampleEmoji());
  writePages(host.dir);
  ASSERT_TRUE(
      host.start(host.configuration("    vantomer_filter off;\n    root " + host.dir.file("www") +
                                    ";\n    types { \"" + kPageType + "\" tm; }\n")))
      << host.errorLog();
  auto response = fetch(host.port, "/page.tm", {{"User-Agent", kIMode}});
  ASSERT_TRUE(response);
  EXPECT_EQ(response->header("Content-Type"), kPageType);
  EXPECT_EQ(response->body, kPage);
}

TEST(NginxModule, WorkersShareLoginsThroughTheRedisStock) {
  REQUIRE_NGINX();
  if (!RedisServer::available())
    GTEST_SKIP() << "redis-server is not installed (`scripts/setup.sh` installs it)";
  RedisServer redis;
  ASSERT_TRUE(redis.start()) << redis.log();
  TestUpstream upstream([](const UpstreamRequest& r, int fd) {
    if (r.url == "/login")
      TestUpstream::write(fd, loginPage());
    else
      TestUpstream::write(fd, TestUpstream::response(200, "text/plain",
                                                     "cookie=" + r.header("Cookie").value_or("")));
    return After::KeepOpen;
  });
  std::string settings = exampleSettings();
  settings.replace(settings.find("<Vantomer>"), 10,
                   "<Vantomer><CookieStockerRedis>" + redis.url() + "</CookieStockerRedis>");
  NginxHost host(modulePath(), settings, exampleEmoji());
  host.reusePort = true;
  ASSERT_TRUE(host.start(host.configuration(
      proxyConfig(upstreamUrl(upstream)) + "    add_header X-Worker $pid always;\n", "", 2)))
      << host.errorLog();

  auto login = fetch(host.port, "/login", {{"User-Agent", kIMode}});
  ASSERT_TRUE(login);
  const std::string worker = login->header("X-Worker").value_or("");
  const std::size_t start = login->body.find("/member/(=");
  ASSERT_NE(start, std::string::npos) << login->body;
  const std::string link = login->body.substr(start, login->body.find('"', start) - start);
  // New connections until one lands on the other worker.
  bool otherWorker = false;
  for (int i = 0; i < 100 && !otherWorker; ++i) {
    auto member = fetch(host.port, link, {{"User-Agent", kIMode}});
    ASSERT_TRUE(member);
    EXPECT_TRUE(member->body.starts_with("cookie=session=s3cret")) << member->body;
    otherWorker = member->header("X-Worker").value_or(worker) != worker;
  }
  EXPECT_TRUE(otherWorker) << "every connection went to worker " << worker;
}

}  // namespace
}  // namespace vantomer::test
