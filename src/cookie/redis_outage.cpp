#include "cookie/redis_outage.h"

#include <unistd.h>

#include <cstdio>

namespace vantomer {

RedisOutage::RedisOutage(std::string where, Report report)
    : where_(std::move(where)), report_(std::move(report)) {}

void RedisOutage::report(const std::string& line) const {
  if (report_) {
    report_(line);
    return;
  }
  // One write, so that lines of several threads and processes do not mix.
  const std::string text = "vantomer: " + line + "\n";
  const ssize_t written = ::write(STDERR_FILENO, text.data(), text.size());
  (void)written;
}

RedisOutage::Ask RedisOutage::mayAsk() {
  if (!down()) return Ask::Yes;
  std::lock_guard<std::mutex> hold(mutex_);
  if (!down_.load(std::memory_order_relaxed)) return Ask::Yes;
  if (retrying_ || Clock::now() < nextRetry_) return Ask::No;
  retrying_ = true;
  return Ask::Retry;
}

void RedisOutage::failed(Ask asked, const std::string& reason) {
  std::lock_guard<std::mutex> hold(mutex_);
  const auto now = Clock::now();
  if (!down_.load(std::memory_order_relaxed)) {
    since_ = now;
    backoff_ = kFirstBackoff;
    down_.store(true, std::memory_order_release);
    report("cookie stock: Redis at " + where_ + " unavailable (" + redisReasonForLog(reason) +
           "); stocking in this process until it is back");
  } else if (asked == Ask::Retry) {
    backoff_ = std::min(backoff_ * 2, kMaxBackoff);
  } else {
    return;  // a request begun before the outage: the retry schedule stands
  }
  if (asked == Ask::Retry) retrying_ = false;
  nextRetry_ = now + backoff_;
}

void RedisOutage::succeeded(Ask asked) {
  // Only the retry ends an outage: answers to requests begun before it
  // would make it flap.
  if (asked != Ask::Retry) return;
  std::lock_guard<std::mutex> hold(mutex_);
  retrying_ = false;
  if (!down_.load(std::memory_order_relaxed)) return;
  down_.store(false, std::memory_order_release);
  const double seconds = std::chrono::duration<double>(Clock::now() - since_).count();
  char length[32];
  std::snprintf(length, sizeof length, "%.1f s", seconds);
  report("cookie stock: Redis at " + where_ + " is back after " + length +
         "; keys made meanwhile stay in this process");
}

std::string redisReasonForLog(const std::string& reason) {
  constexpr std::size_t kLongest = 200;
  std::string text = reason.substr(0, reason.find(", with args beginning with"));
  for (char& c : text)
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = ' ';
  if (text.size() > kLongest) text = text.substr(0, kLongest) + "...";
  return text;
}

}  // namespace vantomer
