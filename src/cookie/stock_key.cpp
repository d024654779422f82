#include "cookie/stock_key.h"

#include <fcntl.h>
#include <sys/random.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <system_error>

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

void fillRandom(unsigned char* buffer, std::size_t size) {
  const std::size_t got = readFully(
      buffer, size, [](unsigned char* at, std::size_t n) { return ::getrandom(at, n, 0); });
  if (got == size || readUrandom(buffer + got, size - got)) return;
  throw std::system_error(errno ? errno : EIO, std::generic_category(), "no random source");
}

}  // namespace

int KeyLetters::letterIndex() {
  for (;;) {
    if (position_ == sizeof random_) {
      fillRandom(random_, sizeof random_);
      position_ = 0;
    }
    const unsigned byte = random_[position_++];
    if (byte < kRandomLimit) return static_cast<int>(byte % kAlphabetSize);
  }
}

std::string KeyLetters::draw() {
  std::string letters;
  letters.reserve(kStockKeyLetters + 2 + 16);  // room for the serial
  for (int i = 0; i < kStockKeyLetters; ++i) letters.push_back(kStockKeyAlphabet[letterIndex()]);
  return letters;
}

std::string formatStockKey(std::string letters, uint64_t serial) {
  char hex[24];
  std::snprintf(hex, sizeof hex, "0x%llx", static_cast<unsigned long long>(serial));
  letters.append(hex);
  return letters;
}

}  // namespace vantomer
