// What the cookie stock adds to a request: the latency of a lookup and of a
// capture, median and 99th percentile, in memory and in Redis on loopback
// (TCP and a unix socket). Starts its own redis-server, or uses the one
// VANTOMER_BENCH_REDIS names (a CookieStockerRedis URL).
//   vantomer_stock_bench [ROUNDS]

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "config/redis_url.h"
#include "cookie/cookie_stocker.h"
#include "cookie/redis_cookie_store.h"

namespace {

using namespace vantomer;
using Clock = std::chrono::steady_clock;

// A private redis-server on a temporary directory, stopped at exit.
struct Server {
  pid_t pid = -1;
  std::string dir;
  unsigned port = 0;

  bool start() {
    char pattern[] = "/tmp/vantomer-bench-XXXXXX";
    if (!mkdtemp(pattern)) return false;
    dir = pattern;
    port = 20000 + static_cast<unsigned>(getpid() % 20000);
    pid = fork();
    if (pid == 0) {
      const std::string p = std::to_string(port), sock = dir + "/redis.sock";
      execlp("redis-server", "redis-server", "--port", p.c_str(), "--bind", "127.0.0.1",
             "--unixsocket", sock.c_str(), "--dir", dir.c_str(), "--save", "", "--appendonly", "no",
             "--logfile", "/dev/null", static_cast<char*>(nullptr));
      _exit(127);
    }
    RedisAddress address;
    std::string reason;
    (void)parseRedisUrl(url(false), address, reason);
    for (int i = 0; i < 200; ++i) {
      if (pingRedis(address, std::chrono::milliseconds(100)).empty()) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
  }
  std::string url(bool socket) const {
    return socket ? "unix://" + dir + "/redis.sock" : "redis://127.0.0.1:" + std::to_string(port);
  }
  ~Server() {
    if (pid > 0) {
      kill(pid, SIGTERM);
      waitpid(pid, nullptr, 0);
    }
    if (!dir.empty()) std::system(("rm -rf '" + dir + "'").c_str());
  }
};

struct Figures {
  double median = 0, p99 = 0, mean = 0;
};

template <typename Op>
Figures measure(int rounds, Op op) {
  std::vector<double> us;
  us.reserve(rounds);
  for (int i = 0; i < rounds; ++i) {
    const auto start = Clock::now();
    op(i);
    us.push_back(std::chrono::duration<double, std::micro>(Clock::now() - start).count());
  }
  std::sort(us.begin(), us.end());
  Figures f;
  f.median = us[us.size() / 2];
  f.p99 = us[std::min(us.size() - 1, us.size() * 99 / 100)];
  for (double v : us) f.mean += v / us.size();
  return f;
}

void run(const char* label, CookieStore& store, int rounds) {
  const std::string ua = "DoCoMo/2.0 P903i(c100;TB;W24H12)";
  // A login as applications set one: a session and two preferences.
  std::string key;
  (void)store.capture(
      key,
      {"session=0123456789abcdef0123456789abcdef; path=/", "lang=ja; path=/", "theme=dark; path=/"},
      ua);
  for (int i = 0; i < rounds / 10; ++i) {  // warm: connections, script cache
    StockedCookies cookies;
    (void)store.lookup(key, ua, cookies);
  }
  const Figures lookup = measure(rounds, [&](int) {
    StockedCookies cookies;
    if (store.lookup(key, ua, cookies) != S_OK || cookies.size() != 3) std::abort();
  });
  const Figures capture = measure(rounds, [&](int i) {
    const std::string value = "session=" + std::to_string(i) + "; path=/";
    std::string k = key;
    (void)store.capture(k, {value}, ua);
  });
  std::printf("%-22s %10.1f %10.1f %10.1f   %10.1f %10.1f %10.1f\n", label, lookup.median,
              lookup.p99, lookup.mean, capture.median, capture.p99, capture.mean);
}

}  // namespace

int main(int argc, char** argv) {
  const int rounds = argc > 1 ? std::max(100, std::atoi(argv[1])) : 20000;
  Server server;
  std::string tcp, unixSocket;
  if (const char* given = std::getenv("VANTOMER_BENCH_REDIS")) {
    tcp = given;
  } else if (server.start()) {
    tcp = server.url(false);
    unixSocket = server.url(true);
  } else {
    std::fprintf(stderr, "no redis-server could be started\n");
    return 1;
  }
  std::printf("%d rounds each; microseconds per call\n", rounds);
  std::printf("%-22s %10s %10s %10s   %10s %10s %10s\n", "store", "lookup p50", "p99", "mean",
              "capture p50", "p99", "mean");
  CookieStocker memory;
  run("in memory", memory, rounds);
  for (const auto& [label, url] : {std::pair<const char*, std::string>{"Redis, TCP loopback", tcp},
                                   {"Redis, unix socket", unixSocket}}) {
    if (url.empty()) continue;
    RedisAddress address;
    std::string reason;
    if (!parseRedisUrl(url, address, reason)) {
      std::fprintf(stderr, "%s: %s\n", url.c_str(), reason.c_str());
      return 1;
    }
    CookieStocker fallback;
    RedisCookieStore redis(address, "bench:", std::chrono::milliseconds(1000), 60, fallback);
    run(label, redis, rounds);
    if (redis.down() || fallback.size() != 0) {
      std::fprintf(stderr, "Redis failed during the run\n");
      return 1;
    }
  }
  return 0;
}
