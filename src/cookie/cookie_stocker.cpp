#include "cookie/cookie_stocker.h"

#include <fcntl.h>
#include <sys/random.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <system_error>

#include "platform/system.h"

namespace vantomer {
namespace {

constexpr std::size_t kAlphabetSize = 52;
// The largest multiple of the alphabet size that fits a byte: bytes at or
// above it are drawn again, so every letter is equally likely.
constexpr unsigned kRandomLimit = 4 * kAlphabetSize;

// Fills buffer from read-like calls, retrying after signals; returns the
// count filled before the source failed or ran dry.
template <typename Read>
std::size_t readFully(unsigned char* buffer, std::size_t size, Read read) {
  std::size_t got = 0;
  while (got < size) {
    const ssize_t n = read(buffer + got, size - got);
    if (n > 0) {
      got += static_cast<std::size_t>(n);
    } else if (!(n < 0 && errno == EINTR)) {
      break;
    }
  }
  return got;
}

bool readUrandom(unsigned char* buffer, std::size_t size) {
  const int fd = ::open("/dev/urandom", O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  const std::size_t got =
      readFully(buffer, size, [fd](unsigned char* at, std::size_t n) { return ::read(fd, at, n); });
  ::close(fd);
  return got == size;
}

// Keys stand for logins, so they come from the system's secure source.
void fillRandom(unsigned char* buffer, std::size_t size) {
  const std::size_t got = readFully(
      buffer, size, [](unsigned char* at, std::size_t n) { return ::getrandom(at, n, 0); });
  if (got == size || readUrandom(buffer + got, size - got)) return;
  throw std::system_error(errno ? errno : EIO, std::generic_category(), "no random source");
}

}  // namespace

CookieStocker::CookieStocker() = default;

uint32_t CookieStocker::now() const { return clock_ ? clock_() : sys::tickCount(); }

int CookieStocker::randomLetterIndex() {
  for (;;) {
    if (randomPos_ == sizeof random_) {
      fillRandom(random_, sizeof random_);
      randomPos_ = 0;
    }
    const unsigned byte = random_[randomPos_++];
    if (byte < kRandomLimit) return static_cast<int>(byte % kAlphabetSize);
  }
}

std::string CookieStocker::makeKey() {
  std::string key;
  key.reserve(kKeyLength + 2 + 16);
  for (int i = 0; i < kKeyLength; ++i) key.push_back(kAlphabet[randomLetterIndex()]);
  ++serial_;
  char hex[24];
  std::snprintf(hex, sizeof hex, "0x%llx", static_cast<unsigned long long>(serial_));
  key.append(hex);
  return key;
}

void CookieStocker::touch(Entries::iterator it, uint32_t tick) {
  it->second.entry.lastUsed = tick;
  const uint64_t order = ++useCounter_;
  byUse_.emplace(order, it);
  if (it->second.useOrder != 0) byUse_.erase(it->second.useOrder);
  it->second.useOrder = order;
}

void CookieStocker::erase(Entries::iterator it) {
  if (it->second.useOrder != 0) byUse_.erase(it->second.useOrder);
  entries_.erase(it);
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
    if (it != entries_.end()) it->second.entry.cookies.erase(CookieKey(cookie.name, cookie.path));
    return;
  }

  auto it = entries_.find(stockKey);
  if (it == entries_.end()) {
    // Without a bound, a client provoking Set-Cookie in a loop would grow
    // the stock without end.
    if (entries_.size() >= kMaxEntries && !byUse_.empty()) erase(byUse_.begin()->second);
    it = entries_.emplace(stockKey, Slot()).first;
  }
  touch(it, now());
  StockEntry& entry = it->second.entry;
  entry.userAgent.assign(userAgent);
  CookieKey key(cookie.name, cookie.path);
  entry.cookies.insert_or_assign(std::move(key), std::move(cookie));
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
  return it->second.entry.cookies;
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

void CookieStocker::clear() {
  std::lock_guard<std::mutex> hold(lock_);
  byUse_.clear();
  entries_.clear();
}

}  // namespace vantomer
