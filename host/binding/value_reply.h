#pragma once
// Values handed to a filter in its own buffer: TRUE and the value with its
// NUL when they fit; otherwise FALSE with the size needed, and the buffer
// left alone. A value is written as pieces into a scratch buffer on the
// stack, or, when it is longer, measured first and copied second, so that no
// reply allocates: the filter may call while memory runs out, and must not
// be failed by the host for it.

#include <cerrno>
#include <cstddef>
#include <cstring>
#include <string_view>

#include "vantomer/httpfilt.h"

namespace vantomer::host {

// Receives the pieces of one value.
class ValueText {
 public:
  virtual void append(std::string_view piece) = 0;
  void appendNumber(unsigned long long number);

 protected:
  ~ValueText() = default;
};

namespace detail {

class ValueCopy final : public ValueText {
 public:
  ValueCopy(char* out, std::size_t capacity) : out_(out), capacity_(capacity) {}
  void append(std::string_view piece) override {
    const std::size_t n = piece.size() < capacity_ - length ? piece.size() : capacity_ - length;
    if (n == 0) return;  // an empty piece may have no data at all
    std::memcpy(out_ + length, piece.data(), n);
    length += n;
  }
  std::size_t length = 0;

 private:
  char* out_;
  std::size_t capacity_;
};

// Keeps what fits of a value, and its whole length.
class ValueScratch final : public ValueText {
 public:
  void append(std::string_view piece) override {
    if (length + piece.size() <= sizeof bytes && !piece.empty())
      std::memcpy(bytes + length, piece.data(), piece.size());
    length += piece.size();
  }
  bool whole() const { return length <= sizeof bytes; }
  char bytes[256];
  std::size_t length = 0;
};

}  // namespace detail

// write(ValueText&) writes the value and returns false when there is none;
// it may be called twice and must write the same both times.
template <typename Write>
BOOL replyWith(Write&& write, LPVOID buffer, LPDWORD size) {
  if (!size) return FALSE;
  detail::ValueScratch scratch;
  if (!write(static_cast<ValueText&>(scratch))) {
    errno = ENOENT;
    return FALSE;
  }
  const std::size_t needed = scratch.length + 1;
  if (needed > 0xFFFFFFFFu) {
    errno = ERANGE;
    return FALSE;
  }
  if (!buffer || *size < needed) {
    *size = static_cast<DWORD>(needed);
    errno = ERANGE;
    return FALSE;
  }
  char* out = static_cast<char*>(buffer);
  std::size_t length = scratch.length;
  if (scratch.whole()) {
    if (length) std::memcpy(out, scratch.bytes, length);
  } else {
    detail::ValueCopy copy(out, scratch.length);
    write(static_cast<ValueText&>(copy));
    length = copy.length;
  }
  out[length] = '\0';
  *size = static_cast<DWORD>(length + 1);
  return TRUE;
}

}  // namespace vantomer::host
