#include "cookie/cookie_stocker.h"

#include "platform/system.h"

namespace vantomer {
namespace {

std::size_t cookieBytes(const StockedCookie& c) {
  return CookieStocker::kCookieCharge + c.name.size() + c.value.size() + c.path.size() +
         c.expires.size() + c.flag.size();
}

}  // namespace

CookieStocker::CookieStocker() = default;

uint32_t CookieStocker::now() const { return clock_ ? clock_() : sys::tickCount(); }

std::string CookieStocker::makeKey() { return formatStockKey(letters_.draw(), ++serial_); }

void CookieStocker::touch(Entries::iterator it, uint32_t tick) {
  it->second.entry.lastUsed = tick;
  const uint64_t order = ++useCounter_;
  byUse_.emplace(order, it);
  if (it->second.useOrder != 0) byUse_.erase(it->second.useOrder);
  it->second.useOrder = order;
}

void CookieStocker::resize(Slot& slot, std::size_t bytes) {
  bytes_ = bytes_ - slot.bytes + bytes;
  slot.bytes = bytes;
}

void CookieStocker::erase(Entries::iterator it) {
  if (it->second.useOrder != 0) byUse_.erase(it->second.useOrder);
  bytes_ -= it->second.bytes;
  entries_.erase(it);
}

void CookieStocker::makeRoom(Entries::iterator keep) {
  // Without a bound, a client provoking Set-Cookie in a loop would grow the
  // stock without end; the entries idle longest go first.
  while ((entries_.size() > kMaxEntries || bytes_ > maxBytes) && !byUse_.empty()) {
    const Entries::iterator oldest = byUse_.begin()->second;
    if (oldest == keep) {
      if (byUse_.size() == 1) break;
      erase(std::next(byUse_.begin())->second);
    } else {
      erase(oldest);
    }
  }
}

uint64_t CookieStocker::clockMs() {
  const uint32_t tick = now();
  clockMs_ += static_cast<uint32_t>(tick - lastTick_);
  lastTick_ = tick;
  return clockMs_;
}

void CookieStocker::remove(Slot& slot, const CookieKey& key) {
  auto held = slot.entry.cookies.find(key);
  if (held == slot.entry.cookies.end()) return;
  const std::size_t freed = cookieBytes(held->second.cookie);
  slot.entry.cookies.erase(held);
  resize(slot, slot.bytes - freed);
}

bool CookieStocker::changesEntry(const std::string& stockKey,
                                 const std::vector<std::string_view>& setCookieValues,
                                 std::string_view userAgent, std::string_view requestPath) const {
  const auto it = entries_.find(stockKey);
  if (it == entries_.end() || it->second.entry.userAgent != userAgent) return true;
  const auto& cookies = it->second.entry.cookies;
  for (std::string_view value : setCookieValues) {
    const CookieChange change = readCookieChange(value, requestPath);
    if (change.deletes) {
      for (const CookieKey& key : change.removed)
        if (cookies.count(key)) return true;
      continue;
    }
    if (!fitsCookieBound(change.cookie)) continue;
    const auto held = cookies.find(CookieKey(change.cookie.name, change.cookie.path));
    if (held == cookies.end() || held->second.cookie.value != change.cookie.value ||
        held->second.cookie.flag != change.cookie.flag)
      return true;
  }
  return false;
}

void CookieStocker::renew(std::string& stockKey, std::string_view userAgent) {
  const std::string newKey = makeKey();
  auto it = entries_.emplace(newKey, Slot()).first;
  Slot& slot = it->second;
  const auto old = entries_.find(stockKey);
  if (old != entries_.end() && old->second.entry.userAgent == userAgent) {
    slot.entry = old->second.entry;
    resize(slot, old->second.bytes - stockKey.size() + newKey.size());
  } else {
    slot.entry.userAgent.assign(userAgent);
    resize(slot, kEntryCharge + newKey.size() + userAgent.size());
  }
  touch(it, now());
  stockKey = newKey;
  makeRoom(it);
}

void CookieStocker::captureOne(std::string& stockKey, std::string_view setCookieValue,
                               std::string_view userAgent, std::string_view requestPath) {
  if (stockKey.empty()) stockKey = makeKey();
  CookieChange change = readCookieChange(setCookieValue, requestPath);
  if (change.deletes) {
    // A deleted cookie is not stocked, and the stocked one goes: sending it
    // on would keep a session alive that the application ended.
    auto it = entries_.find(stockKey);
    if (it == entries_.end()) return;
    for (const CookieKey& key : change.removed) remove(it->second, key);
    return;
  }
  StockedCookie& cookie = change.cookie;
  if (!fitsCookieBound(cookie)) return;

  auto it = entries_.find(stockKey);
  if (it == entries_.end()) {
    it = entries_.emplace(stockKey, Slot()).first;
    resize(it->second, kEntryCharge + stockKey.size());
  }
  touch(it, now());
  Slot& slot = it->second;
  StockEntry& entry = slot.entry;
  std::size_t bytes = slot.bytes - entry.userAgent.size() + userAgent.size();
  entry.userAgent.assign(userAgent);

  CookieKey key(cookie.name, cookie.path);
  auto held = entry.cookies.find(key);
  if (held != entry.cookies.end()) {
    bytes -= cookieBytes(held->second.cookie);
  } else if (entry.cookies.size() >= kMaxCookiesPerEntry) {
    auto oldest = entry.cookies.begin();
    for (auto c = entry.cookies.begin(); c != entry.cookies.end(); ++c)
      if (c->second.setOrder < oldest->second.setOrder) oldest = c;
    bytes -= cookieBytes(oldest->second.cookie);
    entry.cookies.erase(oldest);
  }
  bytes += cookieBytes(cookie);
  HeldCookie& stored = entry.cookies[std::move(key)];
  stored.cookie = std::move(cookie);
  stored.setOrder = ++entry.cookiesSet;
  stored.expiresAt =
      change.lifetimeMs > 0 ? clockMs() + static_cast<uint64_t>(change.lifetimeMs) : 0;
  resize(slot, bytes);
  makeRoom(it);
}

void CookieStocker::capture(std::string& stockKey, std::string_view setCookieValue,
                            std::string_view userAgent) {
  std::lock_guard<std::mutex> hold(lock_);
  captureOne(stockKey, setCookieValue, userAgent, {});
}

HRESULT CookieStocker::capture(std::string& stockKey,
                               const std::vector<std::string_view>& setCookieValues,
                               std::string_view userAgent, const CaptureOptions& options) {
  if (setCookieValues.empty()) return S_OK;
  std::lock_guard<std::mutex> hold(lock_);
  if (options.renewKey && !stockKey.empty() &&
      changesEntry(stockKey, setCookieValues, userAgent, options.requestPath))
    renew(stockKey, userAgent);
  for (std::string_view value : setCookieValues)
    captureOne(stockKey, value, userAgent, options.requestPath);
  return S_OK;
}

HRESULT CookieStocker::lookup(const std::string& stockKey, std::string_view userAgent,
                              StockedCookies& cookies) {
  std::optional<StockedCookies> found = lookup(stockKey, userAgent);
  if (!found) return S_FALSE;
  cookies = std::move(*found);
  return S_OK;
}

HRESULT CookieStocker::newKey(std::string& key) {
  std::lock_guard<std::mutex> hold(lock_);
  key = makeKey();
  return S_OK;
}

std::optional<StockedCookies> CookieStocker::lookup(const std::string& stockKey,
                                                    std::string_view userAgent) {
  std::lock_guard<std::mutex> hold(lock_);
  auto it = entries_.find(stockKey);
  if (it == entries_.end()) return std::nullopt;
  if (it->second.entry.userAgent != userAgent) {
    // A key is bound to the handset that stored under it.
    erase(it);
    return std::nullopt;
  }
  touch(it, now());
  const uint64_t clock = clockMs();
  StockedCookies cookies;
  auto& held = it->second.entry.cookies;
  for (auto c = held.begin(); c != held.end();) {
    const auto next = std::next(c);
    // Past its Max-Age the browser would have dropped it.
    if (c->second.expiresAt != 0 && c->second.expiresAt <= clock)
      remove(it->second, c->first);
    else
      cookies.emplace_hint(cookies.end(), c->first, c->second.cookie);
    c = next;
  }
  return cookies;
}

bool CookieStocker::contains(const std::string& stockKey) const {
  std::lock_guard<std::mutex> hold(lock_);
  return entries_.count(stockKey) != 0;
}

void CookieStocker::sweep() {
  std::lock_guard<std::mutex> hold(lock_);
  // Idle time and threshold both in wrapping 32-bit milliseconds; a timeout
  // too large for them is held at the largest one.
  int64_t product = static_cast<int64_t>(timeoutMinutes) * 60000;
  if (product < 0) product = 0;
  if (product > UINT32_MAX) product = UINT32_MAX;
  const uint32_t threshold = static_cast<uint32_t>(product);
  const uint32_t tick = now();
  clockMs();
  for (auto it = entries_.begin(); it != entries_.end();) {
    auto next = std::next(it);
    if (static_cast<uint32_t>(tick - it->second.entry.lastUsed) >= threshold) erase(it);
    it = next;
  }
}

void CookieStocker::setClockForTesting(uint32_t (*clock)()) {
  std::lock_guard<std::mutex> hold(lock_);
  clock_ = clock;
  lastTick_ = now();
}

std::size_t CookieStocker::size() const {
  std::lock_guard<std::mutex> hold(lock_);
  return entries_.size();
}

std::size_t CookieStocker::bytes() const {
  std::lock_guard<std::mutex> hold(lock_);
  return bytes_;
}

void CookieStocker::clear() {
  std::lock_guard<std::mutex> hold(lock_);
  byUse_.clear();
  entries_.clear();
  bytes_ = 0;
}

}  // namespace vantomer
