#include "support/redis_server.h"

#include <signal.h>
#include <unistd.h>

#include <cstdlib>
#include <sstream>
#include <thread>

namespace vantomer::test {
namespace {

using namespace std::chrono_literals;

std::string findProgram(const std::string& name) {
  const char* path = std::getenv("PATH");
  std::istringstream dirs(std::string(path ? path : "") + ":/usr/sbin:/usr/bin");
  std::string dir;
  while (std::getline(dirs, dir, ':')) {
    const std::string candidate = dir + "/" + name;
    if (!dir.empty() && ::access(candidate.c_str(), X_OK) == 0) return candidate;
  }
  return {};
}

}  // namespace

bool RedisServer::available() { return !findProgram("redis-server").empty(); }

RedisServer::RedisServer(Options options)
    : options_(std::move(options)), port_(freePort()), socket_(dir_.file("redis.sock")) {}

RedisServer::~RedisServer() { stop(); }

bool RedisServer::start() {
  if (process_) return true;
  std::vector<std::string> args{"--port",
                                std::to_string(port_),
                                "--bind",
                                "127.0.0.1",
                                "--unixsocket",
                                socket_,
                                "--unixsocketperm",
                                "700",
                                "--dir",
                                dir_.path(),
                                "--save",
                                "",
                                "--appendonly",
                                "no",
                                "--daemonize",
                                "no",
                                "--logfile",
                                ""};
  if (!options_.password.empty()) args.insert(args.end(), {"--requirepass", options_.password});
  args.insert(args.end(), options_.extra.begin(), options_.extra.end());
  process_ = std::make_unique<ChildProcess>(findProgram("redis-server"), args, dir_.path());
  const auto deadline = std::chrono::steady_clock::now() + 10s;
  while (std::chrono::steady_clock::now() < deadline) {
    const RedisReply reply = command({"PING"});
    // A refusal of PING (a password) also shows the server is up.
    if (reply.isStatus("PONG") ||
        (reply.isError() && reply.text.find("cannot connect") == std::string::npos))
      return true;
    if (process_->wait(0ms)) break;
    std::this_thread::sleep_for(20ms);
  }
  process_.reset();
  return false;
}

void RedisServer::stop() {
  if (!process_) return;
  process_->signal(SIGTERM);
  if (!process_->wait(10s)) process_->signal(SIGKILL);
  process_->wait(10s);
  process_.reset();
}

std::string RedisServer::url(bool overSocket) const {
  const std::string credentials = options_.password.empty() ? "" : ":" + options_.password + "@";
  if (overSocket) return "unix://" + credentials + socket_;
  return "redis://" + credentials + "127.0.0.1:" + std::to_string(port_);
}

RedisAddress RedisServer::address(bool overSocket) const {
  RedisAddress address;
  std::string reason;
  (void)parseRedisUrl(url(overSocket), address, reason);
  return address;
}

std::string RedisServer::log() const { return readFile(dir_.file("child.out")); }

RedisReply RedisServer::command(const std::vector<std::string>& args) const {
  RedisReply reply;
  RedisConnection connection;
  std::string reason;
  const auto deadline = RedisClock::now() + 2s;
  std::vector<std::string_view> views(args.begin(), args.end());
  if (!connection.open(address(), deadline, reason) ||
      !connection.call(views, reply, deadline, reason)) {
    reply.type = RedisReply::Type::Error;
    reply.text = reason;
  }
  return reply;
}

void RedisServer::pause(bool paused) {
  if (process_) process_->signal(paused ? SIGSTOP : SIGCONT);
}

}  // namespace vantomer::test
