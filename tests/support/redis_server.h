#pragma once
// A private redis-server for a test: its own temporary directory, a free port
// and a unix socket, no persistence. Stopped with the object; start() again
// brings it back on the same port and socket.

#include <memory>
#include <string>
#include <vector>

#include "config/redis_url.h"
#include "cookie/redis_connection.h"
#include "support/host_process.h"

namespace vantomer::test {

class RedisServer {
 public:
  struct Options {
    std::string password{};            // requirepass
    std::vector<std::string> extra{};  // further options: "--name", "value", ...
  };

  // Whether redis-server is installed (the setup script installs it).
  static bool available();

  explicit RedisServer(Options options);
  RedisServer() : RedisServer(Options{}) {}
  ~RedisServer();
  RedisServer(const RedisServer&) = delete;
  RedisServer& operator=(const RedisServer&) = delete;

  // Starts the server and waits until it answers; false with its output in
  // log() when it does not.
  bool start();
  // Stops it (SIGTERM) and waits for its end.
  void stop();
  bool running() const { return process_ != nullptr; }
  // SIGSTOP and SIGCONT: a server that accepts and never answers.
  void pause(bool paused);

  unsigned port() const { return port_; }
  const std::string& socketPath() const { return socket_; }
  // redis://[:PASSWORD@]127.0.0.1:PORT, or the unix socket's URL.
  std::string url(bool overSocket = false) const;
  RedisAddress address(bool overSocket = false) const;
  std::string log() const;

  // One command on a connection of its own, for inspecting and steering
  // the server; an Error reply when it cannot be reached.
  RedisReply command(const std::vector<std::string>& args) const;

 private:
  Options options_;
  ServerDir dir_;
  unsigned port_;
  std::string socket_;
  std::unique_ptr<ChildProcess> process_;
};

}  // namespace vantomer::test
