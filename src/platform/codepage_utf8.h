#pragma once
// UTF-8 as the converters read it: validation by maximal subparts, ASCII
// runs skipped eight bytes at a time. Inline, as the converters' inner loops
// call these once a character.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

namespace vantomer::codepage::detail {

inline constexpr char kReplacementUtf8[] = "\xEF\xBF\xBD";  // U+FFFD

// Length of the valid UTF-8 sequence at p, or 0 when it is invalid; then
// invalidLength is the maximal subpart to replace by one U+FFFD (at least 1).
inline std::size_t scanUtf8(const unsigned char* p, std::size_t n, std::size_t& invalidLength) {
  const unsigned char b = p[0];
  if (b < 0x80) return 1;
  std::size_t length;
  unsigned char lo = 0x80, hi = 0xBF;  // range of the second byte
  if (b >= 0xC2 && b <= 0xDF) {
    length = 2;
  } else if (b >= 0xE0 && b <= 0xEF) {
    length = 3;
    if (b == 0xE0) lo = 0xA0;
    if (b == 0xED) hi = 0x9F;  // no surrogates
  } else if (b >= 0xF0 && b <= 0xF4) {
    length = 4;
    if (b == 0xF0) lo = 0x90;
    if (b == 0xF4) hi = 0x8F;
  } else {
    invalidLength = 1;
    return 0;
  }
  std::size_t i = 1;
  for (; i < length && i < n; ++i) {
    const unsigned char c = p[i];
    const bool ok = i == 1 ? (c >= lo && c <= hi) : (c >= 0x80 && c <= 0xBF);
    if (!ok) break;
  }
  if (i == length) return length;
  invalidLength = i;
  return 0;
}

// The first byte at or after i that is not ASCII, or n; eight at a time.
inline std::size_t skipAscii(const unsigned char* p, std::size_t i, std::size_t n) {
  while (i + 8 <= n) {
    std::uint64_t word;
    std::memcpy(&word, p + i, 8);
    if (word & 0x8080808080808080ull) break;
    i += 8;
  }
  while (i < n && p[i] < 0x80) ++i;
  return i;
}

// 3 when a valid three-byte sequence (most Japanese text) starts at p[i],
// else 0: the common case without the general checks.
inline std::size_t validTriple(const unsigned char* p, std::size_t i, std::size_t n) {
  if (i + 2 >= n || (p[i] & 0xF0) != 0xE0 || (p[i + 1] & 0xC0) != 0x80 || (p[i + 2] & 0xC0) != 0x80)
    return 0;
  const unsigned c = (p[i] & 0x0Fu) << 12 | (p[i + 1] & 0x3Fu) << 6;
  return c >= 0x800 && (c < 0xD800 || c > 0xDFFF) ? 3 : 0;
}

// A character of the Basic Multilingual Plane as UTF-8.
inline void appendUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

// Appends valid UTF-8 and puts U+FFFD for every maximal invalid subpart.
void sanitizeUtf8(std::string_view in, std::string& out);

}  // namespace vantomer::codepage::detail
