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
  struct Slot {
    StockEntry entry;
    uint64_t useOrder = 0;  // key of the entry in byUse_; 0 before the first use
  };
  using Entries = std::map<std::string, Slot>;

  std::string newKey();                             // lock held
  uint32_t now() const;                             // lock held
  void touch(Entries::iterator it, uint32_t tick);  // lock held
  void erase(Entries::iterator it);                 // lock held
  int randomLetterIndex();                          // lock held

  mutable std::mutex lock_;
  uint64_t serial_ = 0;
  Entries entries_;
  // Use order, oldest first: a counter rather than the tick, which wraps.
  std::map<uint64_t, Entries::iterator> byUse_;
  uint64_t useCounter_ = 0;
  unsigned char random_[256];
  std::size_t randomPos_ = sizeof random_;
  uint32_t (*clock_)() = nullptr;
};

}  // namespace vantomer
