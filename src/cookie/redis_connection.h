#pragma once
// One connection to Redis, its replies read by hiredis's protocol reader,
// with every wait bounded by a deadline.

#include <chrono>
#include <string>
#include <string_view>
#include <vector>

#include "config/redis_url.h"

namespace vantomer {

using RedisClock = std::chrono::steady_clock;

// A reply as plain values, so that no caller needs hiredis.
struct RedisReply {
  enum class Type { Nil, Integer, String, Status, Error, Array };
  Type type = Type::Nil;
  long long integer = 0;
  std::string text;  // of a String, Status or Error
  std::vector<RedisReply> items;

  bool isError() const { return type == Type::Error; }
  bool isStatus(std::string_view status) const { return type == Type::Status && text == status; }
};

class RedisConnection {
 public:
  RedisConnection() = default;
  ~RedisConnection();
  RedisConnection(const RedisConnection&) = delete;
  RedisConnection& operator=(const RedisConnection&) = delete;

  // Connects and sends AUTH and SELECT as the address asks; false with the
  // reason when that fails or the deadline passes.
  [[nodiscard]] bool open(const RedisAddress& address, RedisClock::time_point deadline,
                          std::string& reason);
  // Sends the commands in one write and reads a reply to each. False with
  // the reason when the connection failed; it is then closed. Error replies
  // are replies: the connection stays usable.
  [[nodiscard]] bool run(const std::vector<std::vector<std::string_view>>& commands,
                         std::vector<RedisReply>& replies, RedisClock::time_point deadline,
                         std::string& reason);
  [[nodiscard]] bool call(const std::vector<std::string_view>& command, RedisReply& reply,
                          RedisClock::time_point deadline, std::string& reason);

  bool isOpen() const { return fd_ >= 0; }
  // Whether the last failed run met a connection that the server had closed
  // before any byte of a reply came: an idle connection it dropped.
  bool closedBeforeReply() const { return closedBeforeReply_; }
  void close();

 private:
  bool connectSocket(const RedisAddress& address, RedisClock::time_point deadline,
                     std::string& reason);
  bool waitFor(short events, RedisClock::time_point deadline, std::string& reason);
  bool sendAll(std::string_view bytes, RedisClock::time_point deadline, std::string& reason);

  int fd_ = -1;
  void* reader_ = nullptr;  // hiredis's redisReader
  bool closedBeforeReply_ = false;
};

// Connects, sends PING and closes: empty when the server answered PONG, else
// the reason (for the check tool).
std::string pingRedis(const RedisAddress& address, std::chrono::milliseconds timeout);

}  // namespace vantomer
