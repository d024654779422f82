#pragma once
// The cookie stock in Redis, shared by every process and host that names the
// same server and prefix, and kept across their restarts. One hash per stock
// key (prefix + key) holds the User-Agent and the cookies and expires after
// the idle timeout, renewed on every use; one counter (the prefix itself)
// gives the keys' serials. A lookup and a capture are one round trip each; a
// capture is a script, atomic against the other hosts. A capture that would
// change nothing of what the lookup just read makes none.
//
// While Redis cannot be reached, is slow or refuses, the in-process stock
// stands in; keys it makes then live only in this process.

#include <chrono>
#include <mutex>
#include <string>

#include "config/redis_url.h"
#include "cookie/cookie_stocker.h"
#include "cookie/cookie_store.h"
#include "cookie/redis_outage.h"
#include "cookie/redis_pool.h"
#include "cookie/redis_seen_entries.h"
#include "cookie/stock_key.h"

namespace vantomer {

class RedisCookieStore final : public CookieStore {
 public:
  // fallback is the in-process stock (owned by the caller, outliving this);
  // idleMinutes the stock's timeout, the keys' expiry.
  RedisCookieStore(RedisAddress address, std::string prefix, std::chrono::milliseconds timeout,
                   int32_t idleMinutes, CookieStocker& fallback,
                   RedisOutage::Report report = nullptr);

  using CookieStore::capture;
  HRESULT capture(std::string& stockKey, const std::vector<std::string_view>& setCookieValues,
                  std::string_view userAgent, const CaptureOptions& options) override;
  HRESULT lookup(const std::string& stockKey, std::string_view userAgent,
                 StockedCookies& cookies) override;
  // Redis expires its keys itself: only the stand-in's entries are swept.
  void sweep() override;
  HRESULT newKey(std::string& key) override;

  bool down() const { return outage_.down(); }
  const std::string& prefix() const { return prefix_; }

 private:
  enum class Outcome { Done, KeyUnusable, Failed };
  // Runs a script (by its digest, sent whole when the server lacks it).
  Outcome runScript(const std::string& script, const std::string& digest,
                    std::vector<std::string_view> keysAndArgs, RedisReply& reply);
  // Sends the commands in one round trip. On failure the reason is the
  // first reply's text.
  Outcome runCommands(const std::vector<std::vector<std::string_view>>& commands,
                      std::vector<RedisReply>& replies);

  const std::string prefix_;
  const std::string expiryMs_;
  CookieStocker& fallback_;
  RedisPool pool_;
  RedisOutage outage_;
  RedisSeenEntries seen_;
  std::mutex lettersLock_;
  KeyLetters letters_;
};

}  // namespace vantomer
