#pragma once
// What lookups last read of their entries in Redis, so that the capture that
// follows soon after can tell without a round trip that it would change
// nothing: a site that sets the same session cookie on every response.
//
// A capture that changes nothing leaves the cookies, their values and the
// order the per-entry bound evicts by as they are (the cookies set again are
// the ones set last, in that order); only the entry's counter of cookies set
// would move, which nothing reads but that order. What was read is trusted
// for a short while, and not at all once a capture of a key of the same
// stripe began in this process after the read; a write by another host in
// that while counts as made before this capture.

#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "cookie/redis_connection.h"

namespace vantomer {

class RedisSeenEntries {
 public:
  using Clock = std::chrono::steady_clock;
  static constexpr std::chrono::milliseconds kTrusted{1000};
  // At most some 8 MiB: larger entries are not remembered.
  static constexpr std::size_t kMaxEntries = 2048;
  static constexpr std::size_t kMaxEntryBytes = 4096;

  // Taken before a lookup reads the entry of key, for remember().
  uint32_t before(std::string_view key) const;
  // The entry of key as HGETALL read it (fields and values in turn), bound
  // to userAgent. Kept only while no capture of its stripe began since
  // before() gave token, only when every cookie's order is readable, and
  // only up to kMaxEntryBytes.
  void remember(const std::string& key, uint32_t token, std::string_view userAgent,
                const std::vector<RedisReply>& hash);
  // Whether a capture of key by userAgent with these changes (per change
  // "d" or "s", and the field and value of the capture script) would leave
  // the entry as last read.
  bool unchanged(const std::string& key, std::string_view userAgent,
                 const std::vector<const char*>& ops, const std::vector<std::string>& texts);
  // Around a capture that writes: what was or is being read of its stripe
  // is stale.
  void writing(std::string_view key);

 private:
  struct Cookie {
    uint64_t order = 0;
    std::string field;
    std::string value;  // without the order
  };
  struct Entry {
    std::string userAgent;
    std::vector<Cookie> cookies;
    Clock::time_point at;
  };
  std::atomic<uint32_t>& stripe(std::string_view key) const;

  mutable std::array<std::atomic<uint32_t>, 64> stripes_{};
  std::mutex mutex_;
  std::unordered_map<std::string, Entry> entries_;
};

}  // namespace vantomer
