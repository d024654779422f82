#include "server/http_date.h"

#include <ctime>

namespace vantomer::host {

std::string httpDate(std::int64_t unixSeconds) {
  std::time_t t = static_cast<std::time_t>(unixSeconds);
  std::tm tm{};
  gmtime_r(&t, &tm);
  char buffer[64];
  const std::size_t n = std::strftime(buffer, sizeof buffer, "%a, %d %b %Y %H:%M:%S GMT", &tm);
  return std::string(buffer, n);
}

std::string currentHttpDate() {
  // Formatted once a second per thread: every response carries it.
  thread_local std::time_t cachedSecond = -1;
  thread_local std::string cached;
  const std::time_t now = std::time(nullptr);
  if (now != cachedSecond) {
    cached = httpDate(now);
    cachedSecond = now;
  }
  return cached;
}

}  // namespace vantomer::host
