#include "platform/codepage_utf8.h"

#include "platform/codepage.h"

namespace vantomer::codepage {
namespace detail {

void sanitizeUtf8(std::string_view in, std::string& out) {
  out.reserve(out.size() + in.size());
  const auto* p = reinterpret_cast<const unsigned char*>(in.data());
  const std::size_t n = in.size();
  std::size_t runStart = 0;
  std::size_t i = 0;
  while (i < n) {
    if (p[i] < 0x80) {
      i = skipAscii(p, i, n);
      continue;
    }
    if (const std::size_t length = validTriple(p, i, n)) {
      i += length;
      continue;
    }
    std::size_t bad = 0;
    const std::size_t length = scanUtf8(p + i, n - i, bad);
    if (length) {
      i += length;
      continue;
    }
    out.append(in.data() + runStart, i - runStart);
    out.append(kReplacementUtf8, 3);
    i += bad;
    runStart = i;
  }
  out.append(in.data() + runStart, n - runStart);
}

}  // namespace detail

std::size_t utf16Length(std::string_view utf8) {
  const auto* p = reinterpret_cast<const unsigned char*>(utf8.data());
  const std::size_t n = utf8.size();
  std::size_t units = 0;
  std::size_t i = 0;
  while (i < n) {
    if (p[i] < 0x80) {
      ++units;
      ++i;
      continue;
    }
    std::size_t bad = 0;
    const std::size_t length = detail::scanUtf8(p + i, n - i, bad);
    if (length) {
      units += length == 4 ? 2 : 1;
      i += length;
    } else {
      units += bad;  // one unit per invalid byte
      i += bad;
    }
  }
  return units;
}

}  // namespace vantomer::codepage
