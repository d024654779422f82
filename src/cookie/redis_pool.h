#pragma once
// Connections to one Redis, shared by the host's threads: a call takes an
// idle connection, or opens one, and gives it back when it is still sound.

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "config/redis_url.h"
#include "cookie/redis_connection.h"

namespace vantomer {

class RedisPool {
 public:
  // More threads than this wait for a connection rather than open one.
  static constexpr std::size_t kMaxConnections = 64;

  RedisPool(RedisAddress address, std::chrono::milliseconds timeout);
  RedisPool(const RedisPool&) = delete;
  RedisPool& operator=(const RedisPool&) = delete;

  // Sends the commands in one write and reads their replies, all by the
  // deadline, waiting for a connection included. False with the reason when
  // no connection could be had or it failed.
  [[nodiscard]] bool run(const std::vector<std::vector<std::string_view>>& commands,
                         std::vector<RedisReply>& replies, RedisClock::time_point deadline,
                         std::string& reason);
  [[nodiscard]] bool call(const std::vector<std::string_view>& command, RedisReply& reply,
                          RedisClock::time_point deadline, std::string& reason);
  // Now plus the timeout.
  RedisClock::time_point deadline() const { return RedisClock::now() + timeout_; }
  // Closes the idle connections: after a failure they are likely dead too.
  void drop();

  const RedisAddress& address() const { return address_; }
  std::chrono::milliseconds timeout() const { return timeout_; }

 private:
  std::unique_ptr<RedisConnection> take(RedisClock::time_point deadline, bool& reused,
                                        std::string& reason);
  void give(std::unique_ptr<RedisConnection> connection);

  const RedisAddress address_;
  const std::chrono::milliseconds timeout_;
  std::mutex mutex_;
  std::condition_variable freed_;
  std::vector<std::unique_ptr<RedisConnection>> idle_;
  std::size_t count_ = 0;  // idle and in use
};

}  // namespace vantomer
