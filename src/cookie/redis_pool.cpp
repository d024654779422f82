#include "cookie/redis_pool.h"

namespace vantomer {

RedisPool::RedisPool(RedisAddress address, std::chrono::milliseconds timeout)
    : address_(std::move(address)), timeout_(timeout) {}

std::unique_ptr<RedisConnection> RedisPool::take(RedisClock::time_point deadline, bool& reused,
                                                 std::string& reason) {
  {
    std::unique_lock<std::mutex> hold(mutex_);
    if (!freed_.wait_until(hold, deadline,
                           [this] { return !idle_.empty() || count_ < kMaxConnections; })) {
      reason = "every connection busy for the whole timeout";
      return nullptr;
    }
    if (!idle_.empty()) {
      auto connection = std::move(idle_.back());
      idle_.pop_back();
      reused = true;
      return connection;
    }
    ++count_;
  }
  // Opened outside the lock: other threads go on meanwhile.
  reused = false;
  auto connection = std::make_unique<RedisConnection>();
  if (connection->open(address_, deadline, reason)) return connection;
  give(nullptr);
  return nullptr;
}

void RedisPool::give(std::unique_ptr<RedisConnection> connection) {
  {
    std::lock_guard<std::mutex> hold(mutex_);
    if (connection && connection->isOpen())
      idle_.push_back(std::move(connection));
    else
      --count_;
  }
  freed_.notify_one();
}

bool RedisPool::run(const std::vector<std::vector<std::string_view>>& commands,
                    std::vector<RedisReply>& replies, RedisClock::time_point deadline,
                    std::string& reason) {
  for (;;) {
    bool reused = false;
    auto connection = take(deadline, reused, reason);
    if (!connection) return false;
    bool ok = false;
    try {
      ok = connection->run(commands, replies, deadline, reason);
    } catch (...) {
      give(nullptr);  // its place in the count
      throw;
    }
    const bool dropped = !ok && connection->closedBeforeReply();
    give(std::move(connection));
    if (ok) return true;
    // An idle connection the server closed (a restart, its idle timeout)
    // fails before the command ran: once more on a fresh one.
    if (!(reused && dropped)) return false;
  }
}

bool RedisPool::call(const std::vector<std::string_view>& command, RedisReply& reply,
                     RedisClock::time_point deadline, std::string& reason) {
  std::vector<RedisReply> replies;
  if (!run({command}, replies, deadline, reason)) return false;
  reply = std::move(replies.front());
  return true;
}

void RedisPool::drop() {
  std::vector<std::unique_ptr<RedisConnection>> closing;
  {
    std::lock_guard<std::mutex> hold(mutex_);
    closing.swap(idle_);
    count_ -= closing.size();
  }
  freed_.notify_all();
}

}  // namespace vantomer
