#include "cookie/sha1.h"

#include <cstdint>

namespace vantomer {
namespace {

uint32_t rotate(uint32_t x, int n) { return (x << n) | (x >> (32 - n)); }

void block(uint32_t h[5], const unsigned char* p) {
  uint32_t w[80];
  for (int i = 0; i < 16; ++i)
    w[i] = uint32_t{p[4 * i]} << 24 | uint32_t{p[4 * i + 1]} << 16 | uint32_t{p[4 * i + 2]} << 8 |
           uint32_t{p[4 * i + 3]};
  for (int i = 16; i < 80; ++i) w[i] = rotate(w[i - 3] ^ w[i - 8] ^ w[i - 14] ^ w[i - 16], 1);
  uint32_t a = h[0], b = h[1], c = h[2], d = h[3], e = h[4];
  for (int i = 0; i < 80; ++i) {
    uint32_t f, k;
    if (i < 20) {
      f = (b & c) | (~b & d);
      k = 0x5A827999;
    } else if (i < 40) {
      f = b ^ c ^ d;
      k = 0x6ED9EBA1;
    } else if (i < 60) {
      f = (b & c) | (b & d) | (c & d);
      k = 0x8F1BBCDC;
    } else {
      f = b ^ c ^ d;
      k = 0xCA62C1D6;
    }
    const uint32_t t = rotate(a, 5) + f + e + k + w[i];
    e = d;
    d = c;
    c = rotate(b, 30);
    b = a;
    a = t;
  }
  h[0] += a;
  h[1] += b;
  h[2] += c;
  h[3] += d;
  h[4] += e;
}

}  // namespace

std::string sha1Hex(std::string_view data) {
  uint32_t h[5] = {0x67452301, 0xEFCDAB89, 0x98BADCFE, 0x10325476, 0xC3D2E1F0};
  std::string padded(data);
  const uint64_t bits = static_cast<uint64_t>(data.size()) * 8;
  padded.push_back(static_cast<char>(0x80));
  while (padded.size() % 64 != 56) padded.push_back('\0');
  for (int i = 7; i >= 0; --i) padded.push_back(static_cast<char>(bits >> (8 * i)));
  for (std::size_t i = 0; i < padded.size(); i += 64)
    block(h, reinterpret_cast<const unsigned char*>(padded.data() + i));
  static const char* const digits = "0123456789abcdef";
  std::string hex;
  for (uint32_t word : h)
    for (int shift = 28; shift >= 0; shift -= 4) hex.push_back(digits[(word >> shift) & 0xF]);
  return hex;
}

}  // namespace vantomer
