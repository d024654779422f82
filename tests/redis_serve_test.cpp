// `vantomer serve` with the cookie stock in a private redis-server: logins
// shared by two servers and kept across a restart, and every page answered
// while Redis is gone.

#include <gtest/gtest.h>
#include <signal.h>

#include <memory>
#include <thread>

#include "support/host_http.h"
#include "support/host_process.h"
#include "support/paths.h"
#include "support/redis_server.h"

namespace vantomer::test {
namespace {

using namespace std::chrono_literals;

const std::string kHandset = "DoCoMo/2.0 P903i(c100;TB;W24H12)";

// The timeout leaves room for a sanitized build sharing two cores: a command
// that misses it starts an outage, which the restart check counts.
std::string settingsFor(const std::string& redisUrl) {
  return "<Vantomer><CookieStockerRedis>" + redisUrl +
         "</CookieStockerRedis><CookieStockerRedisTimeoutMs>500</CookieStockerRedisTimeoutMs>"
         "<NewOutputCoordinator/></Vantomer>";
}

// The application: /login sets a session cookie and links to the members'
// page, which shows the cookies it received.
TestUpstream::Handler application() {
  return [](const UpstreamRequest& r, int fd) {
    if (r.url.starts_with("/login")) {
      TestUpstream::write(fd,
                          TestUpstream::response(
                              200, "text/x-telmark; charset=UTF-8",
                              "<html><body><a href=\"/member/home\">home</a></body></html>",
                              {{"Set-Cookie", "session=s3cret" + r.url.substr(6) + "; path=/"}}));
    } else {
      TestUpstream::write(fd, TestUpstream::response(200, "text/plain",
                                                     "cookie=" + r.header("Cookie").value_or("")));
    }
    return TestUpstream::After::KeepOpen;
  };
}

// A server process with its own module copy and settings.
class Serve {
 public:
  Serve(const std::string& settings, const TestUpstream& upstream)
      : port_(freePort()), upstream_(upstream.port()) {
    module_ = dir_.copy(modulePath(), "module/vantomer.so");
    dir_.write("module/Vantomer.setting", settings);
    dir_.write("module/Emoji.setting", "<emoji/>");
  }
  void start() {
    process_.reset();
    process_ = std::make_unique<ChildProcess>(
        hostPath(),
        std::vector<std::string>{"serve", "--module", module_, "--listen",
                                 "127.0.0.1:" + std::to_string(port_), "--threads", "2",
                                 "--upstream", "http://127.0.0.1:" + std::to_string(upstream_)},
        dir_.path());
    ASSERT_TRUE(process_->waitForPort(port_)) << process_->err();
  }
  void stop() {
    process_->signal(SIGTERM);
    ASSERT_TRUE(process_->wait(10s));
  }
  std::string err() const { return process_->err(); }

  // Logs in and returns the marked link to the members' page.
  std::string login(const std::string& which = "") {
    const auto page = fetch(port_, "/login" + which, {{"User-Agent", kHandset}});
    if (!page || page->status != 200) return {};
    const std::size_t start = page->body.find("/member/(=");
    if (start == std::string::npos) return {};
    return page->body.substr(start, page->body.find('"', start) - start);
  }
  // What the application saw of the cookies behind the link.
  std::string follow(const std::string& link) {
    const auto page = fetch(port_, link, {{"User-Agent", kHandset}});
    return page && page->status == 200 ? page->body
                                       : "status " + std::to_string(page ? page->status : 0);
  }

 private:
  ServerDir dir_;
  std::string module_;
  unsigned port_;
  unsigned upstream_;
  std::unique_ptr<ChildProcess> process_;
};

std::string keyOf(const std::string& link) { return link.substr(10, link.find("=)") - 10); }

std::size_t count(const std::string& text, const std::string& part) {
  std::size_t n = 0;
  for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
  return n;
}

TEST(RedisServe, TwoServersShareTheStockAndItOutlivesThem) {
  if (!RedisServer::available())
    GTEST_SKIP() << "redis-server is not installed (`scripts/setup.sh` installs it)";
  RedisServer redis;
  ASSERT_TRUE(redis.start()) << redis.log();
  TestUpstream upstream(application());
  Serve first(settingsFor(redis.url()), upstream);
  Serve second(settingsFor(redis.url(true)), upstream);  // over the socket
  first.start();
  second.start();

  const std::string link = first.login();
  ASSERT_FALSE(link.empty());
  EXPECT_EQ(second.follow(link), "cookie=session=s3cret;");
  EXPECT_EQ(upstream.requests().back().header("X-Cookie-Stock-Key"), keyOf(link));
  // Keys made by either server are unique.
  const std::string other = second.login();
  ASSERT_FALSE(other.empty());
  EXPECT_NE(keyOf(other), keyOf(link));
  EXPECT_EQ(first.follow(other), "cookie=session=s3cret;");

  first.stop();
  first.start();
  EXPECT_EQ(first.follow(link), "cookie=session=s3cret;");
  EXPECT_EQ(first.err().find("cookie stock"), std::string::npos) << first.err();
}

TEST(RedisServe, EveryPageIsAnsweredWhileRedisIsGone) {
  if (!RedisServer::available())
    GTEST_SKIP() << "redis-server is not installed (`scripts/setup.sh` installs it)";
  RedisServer redis;
  ASSERT_TRUE(redis.start()) << redis.log();
  TestUpstream upstream(application());
  Serve serve(settingsFor(redis.url()), upstream);
  serve.start();
  const std::string before = serve.login();
  ASSERT_FALSE(before.empty());

  redis.stop();
  std::string during;
  for (int i = 0; i < 10; ++i) {
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(serve.follow(before), "cookie=");  // its stock is out of reach
    during = serve.login("-outage");
    EXPECT_FALSE(during.empty());
    // Two requests; a stopped Redis refuses at once, so neither waits on it
    // (a request that waited on Redis would hang).
    EXPECT_LT(std::chrono::steady_clock::now() - start, 1500ms);
  }
  // A login made during the outage works on this server.
  EXPECT_EQ(serve.follow(during), "cookie=session=s3cret-outage;");

  ASSERT_TRUE(redis.start());
  std::string after;
  const auto deadline = std::chrono::steady_clock::now() + 10s;
  while (std::chrono::steady_clock::now() < deadline &&
         redis.command({"KEYS", "vantomer:*0x*"}).items.empty()) {
    after = serve.login("-after");
    std::this_thread::sleep_for(100ms);
  }
  EXPECT_EQ(redis.command({"EXISTS", "vantomer:" + keyOf(after)}).integer, 1);
  EXPECT_EQ(serve.follow(after), "cookie=session=s3cret-after;");
  EXPECT_EQ(serve.follow(during), "cookie=session=s3cret-outage;");

  const std::string err = serve.err();
  EXPECT_EQ(count(err, "unavailable"), 1u) << err;
  EXPECT_EQ(count(err, "is back after"), 1u) << err;
  for (const std::string& secret : {keyOf(before), keyOf(during), std::string("s3cret")})
    EXPECT_EQ(err.find(secret), std::string::npos) << err;
}

TEST(RedisCheck, NamesAMalformedUrlAndWarnsAboutARefusingRedis) {
  if (!RedisServer::available())
    GTEST_SKIP() << "redis-server is not installed (`scripts/setup.sh` installs it)";
  RedisServer redis({.password = "right"});
  ASSERT_TRUE(redis.start()) << redis.log();
  const std::string port = std::to_string(redis.port());
  const struct {
    std::string url;
    int status;
    std::vector<std::string> output;  // the first case must not name the element
  } cases[] = {
      {"redis://:right@127.0.0.1:" + port, 0, {"OK: the filter loads"}},
      {"redis://:wrong@127.0.0.1:" + port, 0, {"warning: CookieStockerRedis", "WRONGPASS", "OK"}},
      {"unix://:right@" + redis.socketPath() + "x", 0, {"warning", "No such file"}},
      {"redis://:right@127.0.0.1:" + std::to_string(freePort()), 0, {"Connection refused"}},
      {"redis://:right@127.0.0.1:" + port + "/db",
       1,
       {"error: CookieStockerRedis: not a Redis URL: the database must be", "FAILED"}},
  };
  for (const auto& c : cases) {
    ServerDir dir;
    const std::string module = dir.copy(modulePath(), "vantomer.so");
    dir.write("Vantomer.setting", "<Vantomer><CookieStockerRedis>" + c.url +
                                      "</CookieStockerRedis><NewOutputCoordinator/></Vantomer>");
    dir.write("Emoji.setting", "<emoji/>");
    const CommandResult result = runProgram(hostPath(), {"check", "--module", module});
    EXPECT_EQ(result.status, c.status) << result.out;
    for (const std::string& part : c.output)
      EXPECT_NE(result.out.find(part), std::string::npos) << part << " in " << result.out;
    EXPECT_EQ(result.out.find("right"), std::string::npos) << result.out;
    if (&c == &cases[0]) {
      EXPECT_EQ(result.out.find("CookieStockerRedis"), std::string::npos) << result.out;
    }
  }
}

}  // namespace
}  // namespace vantomer::test
