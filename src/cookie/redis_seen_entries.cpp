#include "cookie/redis_seen_entries.h"

#include <algorithm>
#include <functional>

namespace vantomer {
namespace {

// ORDER ":" of a stocked value; false when it is damaged.
bool splitOrder(std::string_view value, uint64_t& order, std::string_view& rest) {
  const std::size_t colon = value.find(':');
  if (colon == 0 || colon == std::string_view::npos || colon > 18) return false;
  order = 0;
  for (char c : value.substr(0, colon)) {
    if (c < '0' || c > '9') return false;
    order = order * 10 + static_cast<uint64_t>(c - '0');
  }
  rest = value.substr(colon + 1);
  return true;
}

}  // namespace

std::atomic<uint32_t>& RedisSeenEntries::stripe(std::string_view key) const {
  return stripes_[std::hash<std::string_view>{}(key) % stripes_.size()];
}

uint32_t RedisSeenEntries::before(std::string_view key) const {
  return stripe(key).load(std::memory_order_acquire);
}

void RedisSeenEntries::remember(const std::string& key, uint32_t token, std::string_view userAgent,
                                const std::vector<RedisReply>& hash) {
  Entry entry;
  std::size_t bytes = 0;
  for (std::size_t i = 0; i + 1 < hash.size(); i += 2) {
    if (!hash[i].text.starts_with('c')) continue;
    bytes += hash[i].text.size() + hash[i + 1].text.size();
    if (bytes > kMaxEntryBytes) return;
    Cookie cookie;
    std::string_view rest;
    if (!splitOrder(hash[i + 1].text, cookie.order, rest)) return;
    cookie.field = hash[i].text;
    cookie.value = std::string(rest);
    entry.cookies.push_back(std::move(cookie));
  }
  std::sort(entry.cookies.begin(), entry.cookies.end(),
            [](const Cookie& a, const Cookie& b) { return a.order < b.order; });
  entry.userAgent = std::string(userAgent);
  entry.at = Clock::now();
  std::lock_guard<std::mutex> hold(mutex_);
  if (stripe(key).load(std::memory_order_acquire) != token) return;
  if (entries_.size() >= kMaxEntries) {
    std::erase_if(entries_, [&](const auto& e) { return entry.at - e.second.at > kTrusted; });
    if (entries_.size() >= kMaxEntries) entries_.clear();
  }
  entries_.insert_or_assign(key, std::move(entry));
}

bool RedisSeenEntries::unchanged(const std::string& key, std::string_view userAgent,
                                 const std::vector<const char*>& ops,
                                 const std::vector<std::string>& texts) {
  // Kept after a capture that changes nothing: it is still what Redis holds,
  // for the requests of the same key at the same time too.
  std::lock_guard<std::mutex> hold(mutex_);
  const auto it = entries_.find(key);
  if (it == entries_.end()) return false;
  const Entry& seen = it->second;
  if (Clock::now() - seen.at > kTrusted || seen.userAgent != userAgent) return false;
  // The fields set again, in the order they were last set.
  std::vector<std::string_view> set;
  for (std::size_t i = 0; i < ops.size(); ++i) {
    const std::string& field = texts[2 * i];
    const auto held = std::find_if(seen.cookies.begin(), seen.cookies.end(),
                                   [&](const Cookie& c) { return c.field == field; });
    if (*ops[i] == 'd') {
      if (held != seen.cookies.end()) return false;
      continue;
    }
    if (held == seen.cookies.end() || held->value != texts[2 * i + 1]) return false;
    std::erase(set, std::string_view(field));
    set.push_back(field);
  }
  // Set again, they keep their places only as the ones set last.
  if (set.size() > seen.cookies.size()) return false;
  const std::size_t first = seen.cookies.size() - set.size();
  for (std::size_t i = 0; i < set.size(); ++i)
    if (seen.cookies[first + i].field != set[i]) return false;
  return true;
}

void RedisSeenEntries::writing(std::string_view key) {
  stripe(key).fetch_add(1, std::memory_order_acq_rel);
  std::lock_guard<std::mutex> hold(mutex_);
  entries_.erase(std::string(key));
}

}  // namespace vantomer
