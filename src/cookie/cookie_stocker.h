#pragma once
// The server-side cookie stock: cookies kept per stock key for handsets that
// keep none.

#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <utility>

#include "cookie/cookie_format.h"

namespace vantomer {

// (name, path), ordered byte-wise.
using CookieKey = std::pair<std::string, std::string>;
using StockedCookies = std::map<CookieKey, StockedCookie>;

struct StockEntry {
  uint32_t lastUsed = 0;
  std::string userAgent;
  StockedCookies cookies;
};

class CookieStocker {
 public:
  // Bound on the number of entries; the entry idle longest makes room.
  static constexpr std::size_t kMaxEntries = 100000;
  static constexpr int kKeyLength = 16;
  static constexpr const char* kAlphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";

  CookieStocker();

  // Stocks one Set-Cookie value under stockKey; an empty key receives a new one.
  void capture(std::string& stockKey, std::string_view setCookieValue, std::string_view userAgent);
  // A copy of the cookies when the key has an entry of this User-Agent; an
  // entry of another User-Agent is removed.
  std::optional<StockedCookies> lookup(const std::string& stockKey, std::string_view userAgent);
  // Removes every entry idle for timeoutMinutes or longer.
  void sweep();

  // Written by the settings loader before any request.
  int32_t timeoutMinutes = 60;

  // For tests and tools: the clock the stock reads (defaults to the tick).
  void setClockForTesting(uint32_t (*clock)());
  std::size_t size() const;
  void clear();

 private:
  std::string newKey();  // lock held
  uint32_t now() const;

  mutable std::mutex lock_;
  uint64_t serial_ = 0;
  std::map<std::string, StockEntry> entries_;
  uint32_t (*clock_)() = nullptr;
};

}  // namespace vantomer
