#include "filter/filter.h"

#include "config/load_settings.h"
#include "config/redis_url.h"
#include "cookie/restore_request_cookies.h"
#include "filter/host_access.h"

namespace vantomer {

static_assert(kMaxCookieHeader + 1 == kCookieBuffer,
              "a restored Cookie header is bounded by what a request's own may hold");

bool Filter::load(const std::string& directory, std::string* problem) {
  // A later load reads the files anew rather than over what the last one
  // left (the emoji table keeps the first text of a number); the stocked
  // cookies stay.
  emojiTable_.clear();
  input_ = InputCoordinator();
  settings_ = FilterSettings();
  cookieStocker_.timeoutMinutes = CookieStocker().timeoutMinutes;
  const HRESULT settings = loadSettings(
      sys::pathCombine(directory, "Vantomer.setting"),
      SettingsTargets{settings_, input_, profiles_, cookieStocker_.timeoutMinutes}, problem);
  if (failed(settings)) return false;
  cookieStocker_.maxBytes = static_cast<std::size_t>(settings_.cookieStockerMaxMegabytes) << 20;
  conversionBudget_.setLimit(static_cast<std::size_t>(settings_.conversionMemoryMaxMegabytes)
                             << 20);
  redisStore_.reset();
  RedisAddress address;
  std::string reason;
  if (!settings_.cookieStockerRedis.empty() &&
      parseRedisUrl(settings_.cookieStockerRedis, address, reason)) {
    redisStore_ = std::make_unique<RedisCookieStore>(
        std::move(address), settings_.cookieStockerRedisPrefix,
        std::chrono::milliseconds(settings_.cookieStockerRedisTimeoutMs),
        cookieStocker_.timeoutMinutes, cookieStocker_);
  }
  if (failed(emojiTable_.load(sys::pathCombine(directory, "Emoji.setting")))) return false;
  if (!sweepTimer_.start(kSweepPeriodMs, [this] { cookieStocker_.sweep(); })) return false;
  return trimTimer_.start(kTrimPeriodMs, [this] {
    if (!trimRequested_.load(std::memory_order_relaxed) || conversionBudget_.reserved() != 0)
      return;
    trimRequested_.store(false, std::memory_order_relaxed);
    sys::returnFreeMemory();
  });
}

bool Filter::terminate() {
  trimTimer_.stop();
  const bool stopped = sweepTimer_.stop();
  profiles_.clear();
  return stopped;
}

}  // namespace vantomer
