#pragma once
// Whether Redis is to be asked. After a failure it is left alone for a
// backoff that doubles with every failed retry (one request makes each
// retry); the outage is reported once when it starts and once when it ends.

#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>
#include <string>

namespace vantomer {

class RedisOutage {
 public:
  using Clock = std::chrono::steady_clock;
  using Report = std::function<void(const std::string& line)>;
  static constexpr std::chrono::milliseconds kFirstBackoff{100};
  static constexpr std::chrono::milliseconds kMaxBackoff{2000};

  enum class Ask { No, Yes, Retry };

  // where names the server in reports; report defaults to a line on stderr.
  explicit RedisOutage(std::string where, Report report = nullptr);

  // Yes while Redis is up; Retry for the one caller that retries it after
  // the backoff; No otherwise.
  Ask mayAsk();
  // What came of an asking that mayAsk allowed.
  void failed(Ask asked, const std::string& reason);
  void succeeded(Ask asked);
  bool down() const { return down_.load(std::memory_order_acquire); }

 private:
  void report(const std::string& line) const;

  const std::string where_;
  const Report report_;
  std::atomic<bool> down_{false};
  std::mutex mutex_;
  bool retrying_ = false;
  Clock::time_point since_;
  Clock::time_point nextRetry_;
  std::chrono::milliseconds backoff_{kFirstBackoff};
};

// A server's error text fit for a log: one line, without the arguments that
// some errors echo (they may hold a stock key or a cookie).
std::string redisReasonForLog(const std::string& reason);

}  // namespace vantomer
