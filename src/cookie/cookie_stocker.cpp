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

void CookieStocker::captureOne(std::string& stockKey, std::string_view setCookieValue,
                               std::string_view userAgent) {
  if (stockKey.empty()) stockKey = makeKey();
  StockedCookie cookie;
  parseSetCookie(setCookieValue, cookie);
  if (!cookie.expires.empty()) {
    // Cookies with an expiry date are not stocked. One of the same name and
    // path already in stock is dropped: the application is deleting it (a
    // logout) or replacing it, and sending the old value on would keep a
    // session alive that the application ended.
    auto it = entries_.find(stockKey);
    if (it == entries_.end()) return;
    Slot& slot = it->second;
    auto held = slot.entry.cookies.find(CookieKey(cookie.name, cookie.path));
    if (held == slot.entry.cookies.end()) return;
    const std::size_t freed = cookieBytes(held->second.cookie);
    slot.entry.cookies.erase(held);
    resize(slot, slot.bytes - freed);
    return;
  }
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
  resize(slot, bytes);
  makeRoom(it);
}

void CookieStocker::capture(std::string& stockKey, std::string_view setCookieValue,
                            std::string_view userAgent) {
  std::lock_guard<std::mutex> hold(lock_);
  captureOne(stockKey, setCookieValue, userAgent);
}

HRESULT CookieStocker::capture(std::string& stockKey,
                               const std::vector<std::string_view>& setCookieValues,
                               std::string_view userAgent) {
  std::lock_guard<std::mutex> hold(lock_);
  for (std::string_view value : setCookieValues) captureOne(stockKey, value, userAgent);
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
  StockedCookies cookies;
  for (const auto& [key, held] : it->second.entry.cookies)
    cookies.emplace_hint(cookies.end(), key, held.cookie);
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
  for (auto it = entries_.begin(); it != entries_.end();) {
    auto next = std::next(it);
    if (static_cast<uint32_t>(tick - it->second.entry.lastUsed) >= threshold) erase(it);
    it = next;
  }
}

void CookieStocker::setClockForTesting(uint32_t (*clock)()) {
  std::lock_guard<std::mutex> hold(lock_);
  clock_ = clock;
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
