#include "platform/codepage_932.h"

#include <cstdint>
#include <cstring>
#include <string>

#include "platform/codepage_iconv.h"
#include "platform/codepage_registry.h"
#include "platform/codepage_utf8.h"

namespace vantomer::codepage::detail {
namespace {

// glibc converts UTF-8 to CP932 at about forty instructions a byte. The
// table holds iconv's own answer for every character of the Basic
// Multilingual Plane (the code page has none beyond it), asked once per
// process: 0 for a character it lacks, a byte below 0x100, or a lead and
// trail byte.
class ShiftJisTable {
 public:
  // Null when iconv has no CP932 converter. Static storage, not the heap:
  // the module may be unloaded, and nothing would free it then.
  static const ShiftJisTable* get() {
    static ShiftJisTable table;
    static const bool filled = table.fill();
    return filled ? &table : nullptr;
  }

  std::uint16_t code(char32_t c) const { return codes_[c]; }

 private:
  // One character a call: glibc reconverts a call's input from its start
  // after each character it refuses, and most characters are refused, so
  // longer calls cost far more (about 2 ms in all this way).
  bool fill() {
    const IconvPtr converter = openIconv("CP932", "UTF-8");
    if (converter == nullptr) return false;
    iconv_t cd = converter.get();
    std::string in;
    for (char32_t c = 0x80; c < 0x10000; ++c) {
      if (c >= 0xD800 && c <= 0xDFFF) continue;
      in.clear();
      appendUtf8(in, c);
      char* src = in.data();
      std::size_t srcLeft = in.size();
      unsigned char out[8];
      char* dst = reinterpret_cast<char*>(out);
      std::size_t dstLeft = sizeof out;
      if (iconv(cd, &src, &srcLeft, &dst, &dstLeft) == static_cast<std::size_t>(-1)) {
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
        continue;  // lacking: stays 0
      }
      const std::size_t length = sizeof out - dstLeft;
      if (length == 1) codes_[c] = out[0];
      if (length == 2) codes_[c] = static_cast<std::uint16_t>(out[0] << 8 | out[1]);
    }
    return true;
  }

  std::uint16_t codes_[0x10000] = {};
};

[[nodiscard]] HRESULT tableEncode(const ShiftJisTable& table, std::string_view utf8,
                                  std::string& out) {
  const auto* p = reinterpret_cast<const unsigned char*>(utf8.data());
  const std::size_t n = utf8.size();
  // At most two bytes for every character, which takes at least two.
  const std::size_t base = out.size();
  out.resize(base + n);
  char* dst = out.data() + base;
  std::size_t i = 0;
  while (i < n) {
    if (p[i] < 0x80) {
      const std::size_t end = skipAscii(p, i, n);
      std::memcpy(dst, p + i, end - i);
      dst += end - i;
      i = end;
      continue;
    }
    std::size_t bad = 0;
    const std::size_t length = validTriple(p, i, n) ? 3 : scanUtf8(p + i, n - i, bad);
    std::uint16_t code = 0;
    if (length == 2) {
      code = table.code(static_cast<char32_t>((p[i] & 0x1F) << 6 | (p[i + 1] & 0x3F)));
    } else if (length == 3) {
      code = table.code(
          static_cast<char32_t>((p[i] & 0x0F) << 12 | (p[i + 1] & 0x3F) << 6 | (p[i + 2] & 0x3F)));
    }
    if (code >= 0x100) {
      *dst++ = static_cast<char>(code >> 8);
      *dst++ = static_cast<char>(code & 0xFF);
    } else if (code != 0) {
      *dst++ = static_cast<char>(code);
    } else {
      *dst++ = '?';  // a character the code page lacks, or no UTF-8
    }
    i += length ? length : bad;
  }
  out.resize(static_cast<std::size_t>(dst - out.data()));
  return S_OK;
}

}  // namespace

HRESULT shiftJisEncode(std::string_view utf8, std::string& out) {
  if (const ShiftJisTable* table = ShiftJisTable::get()) return tableEncode(*table, utf8, out);
  return iconvEncode(*findCodePage(kShiftJis), utf8, out);
}

}  // namespace vantomer::codepage::detail
