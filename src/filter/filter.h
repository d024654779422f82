#pragma once
// The filter's process-wide state, owned in one place: the records read at
// load, the cookie stock and the timer that sweeps it.

#include <atomic>
#include <memory>
#include <string>

#include "config/settings.h"
#include "cookie/cookie_stocker.h"
#include "cookie/redis_cookie_store.h"
#include "emoji/emoji_table.h"
#include "filter/conversion_budget.h"
#include "platform/hresult.h"
#include "platform/system.h"

namespace vantomer {

inline constexpr unsigned kSweepPeriodMs = 60000;
inline constexpr unsigned kTrimPeriodMs = 1000;

class Filter {
 public:
  Filter() = default;
  Filter(const Filter&) = delete;
  Filter& operator=(const Filter&) = delete;

  // Reads "Vantomer.setting", then "Emoji.setting", from directory, chooses
  // the cookie stock the settings name and starts the sweep timer; each step only while the earlier
  // ones succeeded, and nothing read is undone when a later one fails. problem receives the
  // settings loader's reason when it fails.
  [[nodiscard]] bool load(const std::string& directory, std::string* problem = nullptr);
  // Stops the timer and frees the profiles; false when no timer ran. The
  // rest, the stocked cookies included, stays for a later load.
  bool terminate();

  const FilterSettings& settings() const { return settings_; }
  const InputCoordinator& input() const { return input_; }
  const ProfileList& profiles() const { return profiles_; }
  const EmojiTable& emojiTable() const { return emojiTable_; }
  // Redis when the settings name one, else the in-memory stock.
  CookieStore& cookieStore() {
    if (redisStore_) return *redisStore_;
    return cookieStocker_;
  }

  // For tools and tests that fill or inspect the records themselves.
  FilterSettings& settings() { return settings_; }
  InputCoordinator& input() { return input_; }
  ProfileList& profiles() { return profiles_; }
  EmojiTable& emojiTable() { return emojiTable_; }
  // The in-memory stock; with Redis, its stand-in during outages.
  CookieStocker& cookieStocker() { return cookieStocker_; }
  ConversionBudget& conversionBudget() { return conversionBudget_; }
  // Asks for the allocator's free memory to go back to the system within
  // a second, once no conversion runs: off the request's path, whose answer
  // the host sends only after the filter returns.
  void requestMemoryTrim() { trimRequested_.store(true, std::memory_order_relaxed); }

 private:
  // Built in this order, torn down in reverse: the timer stops before the
  // stock it sweeps goes.
  EmojiTable emojiTable_;
  CookieStocker cookieStocker_;
  std::unique_ptr<RedisCookieStore> redisStore_;
  InputCoordinator input_;
  ProfileList profiles_;
  FilterSettings settings_;
  ConversionBudget conversionBudget_;
  std::atomic<bool> trimRequested_{false};
  sys::PeriodicTimer sweepTimer_;
  sys::PeriodicTimer trimTimer_;
};

}  // namespace vantomer
