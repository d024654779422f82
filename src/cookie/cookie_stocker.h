#pragma once
// The cookie stock in this process's memory: cookies kept per stock key for
// handsets that keep none.

#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <utility>

#include "cookie/cookie_change.h"
#include "cookie/cookie_store.h"
#include "cookie/stock_key.h"

namespace vantomer {

// One stocked cookie and when it was set, for the per-entry bound.
struct HeldCookie {
  StockedCookie cookie;
  uint64_t setOrder = 0;
  uint64_t expiresAt = 0;  // on the stock's clock (clockMs()); 0: no bound
};

struct StockEntry {
  uint32_t lastUsed = 0;
  std::string userAgent;
  std::map<CookieKey, HeldCookie> cookies;
  uint64_t cookiesSet = 0;  // the last setOrder given
};

class CookieStocker final : public CookieStore {
 public:
  // Bound on the number of entries; the entry idle longest makes room.
  static constexpr std::size_t kMaxEntries = 100000;
  // Default bound on the bytes the stock holds (see bytes()).
  static constexpr std::size_t kDefaultMaxBytes = std::size_t{64} << 20;
  static constexpr int kKeyLength = kStockKeyLetters;
  static constexpr const char* kAlphabet = kStockKeyAlphabet;

  CookieStocker();

  using CookieStore::capture;
  // Never fails but for memory.
  HRESULT capture(std::string& stockKey, const std::vector<std::string_view>& setCookieValues,
                  std::string_view userAgent, const CaptureOptions& options) override;
  HRESULT lookup(const std::string& stockKey, std::string_view userAgent,
                 StockedCookies& cookies) override;
  // Removes every entry idle for timeoutMinutes or longer.
  void sweep() override;
  HRESULT newKey(std::string& key) override;

  // One value: the same as a capture of a response with one Set-Cookie.
  void capture(std::string& stockKey, std::string_view setCookieValue, std::string_view userAgent);
  // A copy of the cookies when the key has an entry of this User-Agent.
  std::optional<StockedCookies> lookup(const std::string& stockKey, std::string_view userAgent);
  // Whether the key has an entry, whatever its User-Agent; changes nothing.
  bool contains(const std::string& stockKey) const;

  // Written by the settings loader before any request.
  int32_t timeoutMinutes = 60;
  // Bound on bytes(); the entries idle longest make room. Set before any
  // request.
  std::size_t maxBytes = kDefaultMaxBytes;

  // For tests and tools: the clock the stock reads (defaults to the tick).
  void setClockForTesting(uint32_t (*clock)());
  std::size_t size() const;
  // What the entries hold: their keys, User-Agents and cookie texts, plus a
  // fixed charge per entry and per cookie for the structures around them.
  std::size_t bytes() const;
  void clear();

  static constexpr std::size_t kEntryCharge = 256;
  static constexpr std::size_t kCookieCharge = 320;

 private:
  struct Slot {
    StockEntry entry;
    uint64_t useOrder = 0;  // key of the entry in byUse_; 0 before the first use
    std::size_t bytes = 0;
  };
  using Entries = std::map<std::string, Slot>;

  void captureOne(std::string& stockKey, std::string_view setCookieValue,
                  std::string_view userAgent, std::string_view requestPath);  // lock held
  void remove(Slot& slot, const CookieKey& key);                              // lock held
  // Whether the values would change the entry: a cookie new or of another
  // value or flag, or one deleted. A site that sends its session cookie
  // again with every page renews no key for it. Lock held.
  bool changesEntry(const std::string& stockKey,
                    const std::vector<std::string_view>& setCookieValues,
                    std::string_view userAgent, std::string_view requestPath) const;
  // A new key whose entry copies the old key's entry of this User-Agent.
  void renew(std::string& stockKey, std::string_view userAgent);  // lock held
  uint64_t clockMs();                                             // lock held
  void makeRoom(Entries::iterator keep);                          // lock held
  std::string makeKey();                                          // lock held
  uint32_t now() const;                                           // lock held
  void touch(Entries::iterator it, uint32_t tick);                // lock held
  void erase(Entries::iterator it);                               // lock held
  void resize(Slot& slot, std::size_t bytes);                     // lock held

  mutable std::mutex lock_;
  uint64_t serial_ = 0;
  Entries entries_;
  // Use order, oldest first: a counter rather than the tick, which wraps.
  std::map<uint64_t, Entries::iterator> byUse_;
  uint64_t useCounter_ = 0;
  std::size_t bytes_ = 0;
  KeyLetters letters_;
  uint32_t (*clock_)() = nullptr;
  // The 32-bit tick carried on in 64 bits (read at least once a minute by
  // the sweep, so no wrap is missed): Max-Age bounds outlast 49.7 days.
  uint64_t clockMs_ = 0;
  uint32_t lastTick_ = 0;
};

}  // namespace vantomer
