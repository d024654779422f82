#include "platform/codepage.h"

#include <iconv.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>
#include <vector>

#include "platform/text.h"

namespace vantomer::codepage {
namespace {

constexpr int kShiftJis = 932;
constexpr int kDefaultAnsi = 932;

// How a code page is converted.
enum class Method { Utf8, Iconv, Jis };

// The ISO-2022-JP family, written the way the Windows converters do: the
// CP932 repertoire (NEC and IBM rows, FF5E for the wave dash) in JIS form,
// differing only in how half-width katakana travel.
enum class JisKana { Fullwidth, Escape, ShiftOut };

struct CodePage {
  int number;
  Method method;
  const char* name;  // iconv name
  int unit;          // bytes skipped on an invalid sequence when decoding
  bool unicode;      // every character fits; bad input becomes U+FFFD, not "?"
  JisKana kana;
};

constexpr CodePage kCodePages[] = {
    {932, Method::Iconv, "CP932", 1, false, JisKana::Fullwidth},
    {65001, Method::Utf8, "UTF-8", 1, true, JisKana::Fullwidth},
    // EUC with the CP932 mappings, so text survives a trip between the two.
    {20932, Method::Iconv, "EUC-JP-MS", 1, false, JisKana::Fullwidth},
    {51932, Method::Iconv, "EUC-JP-MS", 1, false, JisKana::Fullwidth},
    {50220, Method::Jis, nullptr, 1, false, JisKana::Fullwidth},
    {50221, Method::Jis, nullptr, 1, false, JisKana::Escape},
    {50222, Method::Jis, nullptr, 1, false, JisKana::ShiftOut},
    {1200, Method::Iconv, "UTF-16LE", 2, true, JisKana::Fullwidth},
    {1201, Method::Iconv, "UTF-16BE", 2, true, JisKana::Fullwidth},
    {12000, Method::Iconv, "UTF-32LE", 4, true, JisKana::Fullwidth},
    {12001, Method::Iconv, "UTF-32BE", 4, true, JisKana::Fullwidth},
    {20127, Method::Iconv, "ASCII", 1, false, JisKana::Fullwidth},
    {28591, Method::Iconv, "ISO-8859-1", 1, false, JisKana::Fullwidth},
    {28592, Method::Iconv, "ISO-8859-2", 1, false, JisKana::Fullwidth},
    {28593, Method::Iconv, "ISO-8859-3", 1, false, JisKana::Fullwidth},
    {28594, Method::Iconv, "ISO-8859-4", 1, false, JisKana::Fullwidth},
    {28595, Method::Iconv, "ISO-8859-5", 1, false, JisKana::Fullwidth},
    {28596, Method::Iconv, "ISO-8859-6", 1, false, JisKana::Fullwidth},
    {28597, Method::Iconv, "ISO-8859-7", 1, false, JisKana::Fullwidth},
    {28598, Method::Iconv, "ISO-8859-8", 1, false, JisKana::Fullwidth},
    {28599, Method::Iconv, "ISO-8859-9", 1, false, JisKana::Fullwidth},
    {28603, Method::Iconv, "ISO-8859-13", 1, false, JisKana::Fullwidth},
    {28605, Method::Iconv, "ISO-8859-15", 1, false, JisKana::Fullwidth},
    {874, Method::Iconv, "CP874", 1, false, JisKana::Fullwidth},
    {936, Method::Iconv, "CP936", 1, false, JisKana::Fullwidth},
    {949, Method::Iconv, "CP949", 1, false, JisKana::Fullwidth},
    {950, Method::Iconv, "CP950", 1, false, JisKana::Fullwidth},
    {1250, Method::Iconv, "CP1250", 1, false, JisKana::Fullwidth},
    {1251, Method::Iconv, "CP1251", 1, false, JisKana::Fullwidth},
    {1252, Method::Iconv, "CP1252", 1, false, JisKana::Fullwidth},
    {1253, Method::Iconv, "CP1253", 1, false, JisKana::Fullwidth},
    {1254, Method::Iconv, "CP1254", 1, false, JisKana::Fullwidth},
    {1255, Method::Iconv, "CP1255", 1, false, JisKana::Fullwidth},
    {1256, Method::Iconv, "CP1256", 1, false, JisKana::Fullwidth},
    {1257, Method::Iconv, "CP1257", 1, false, JisKana::Fullwidth},
    {1258, Method::Iconv, "CP1258", 1, false, JisKana::Fullwidth},
    {20866, Method::Iconv, "KOI8-R", 1, false, JisKana::Fullwidth},
    {21866, Method::Iconv, "KOI8-U", 1, false, JisKana::Fullwidth},
    {51949, Method::Iconv, "EUC-KR", 1, false, JisKana::Fullwidth},
    {54936, Method::Iconv, "GB18030", 1, false, JisKana::Fullwidth},
    {10000, Method::Iconv, "MACINTOSH", 1, false, JisKana::Fullwidth},
    {437, Method::Iconv, "IBM437", 1, false, JisKana::Fullwidth},
    {850, Method::Iconv, "IBM850", 1, false, JisKana::Fullwidth},
    {866, Method::Iconv, "IBM866", 1, false, JisKana::Fullwidth},
};

const CodePage* findCodePage(int number) {
  for (const CodePage& cp : kCodePages)
    if (cp.number == number) return &cp;
  return nullptr;
}

constexpr char kReplacementUtf8[] = "\xEF\xBF\xBD";  // U+FFFD

// --- UTF-8 -----------------------------------------------------------------

// Length of the valid UTF-8 sequence at p, or 0 when it is invalid; then
// invalidLength is the maximal subpart to replace by one U+FFFD (at least 1).
std::size_t scanUtf8(const unsigned char* p, std::size_t n, std::size_t& invalidLength) {
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
std::size_t skipAscii(const unsigned char* p, std::size_t i, std::size_t n) {
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

// Appends valid UTF-8 and puts U+FFFD for every maximal invalid subpart.
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

// --- iconv -----------------------------------------------------------------

// Converters opened on this thread, kept for reuse: opening one costs far
// more than a page's conversion.
class DescriptorCache {
 public:
  DescriptorCache() = default;
  DescriptorCache(const DescriptorCache&) = delete;
  DescriptorCache& operator=(const DescriptorCache&) = delete;
  ~DescriptorCache() {
    for (const Entry& e : entries_)
      if (e.cd != invalid()) iconv_close(e.cd);
  }

  static iconv_t invalid() { return reinterpret_cast<iconv_t>(-1); }

  // A converter in its initial state, or invalid() (errno set when it
  // failed just now).
  iconv_t get(const CodePage& cp, bool encode) {
    for (const Entry& e : entries_) {
      if (e.number == cp.number && e.encode == encode) {
        if (e.cd != invalid())
          iconv(e.cd, nullptr, nullptr, nullptr, nullptr);
        else
          errno = EINVAL;
        return e.cd;
      }
    }
    iconv_t cd = encode ? iconv_open(cp.name, "UTF-8") : iconv_open("UTF-8", cp.name);
    const int openError = errno;
    // Remember a missing converter too, but not a passing shortage of memory.
    if (cd != invalid() || openError == EINVAL) entries_.push_back({cp.number, encode, cd});
    errno = openError;
    return cd;
  }

 private:
  struct Entry {
    int number;
    bool encode;
    iconv_t cd;
  };
  std::vector<Entry> entries_;
};

DescriptorCache& descriptors() {
  thread_local DescriptorCache cache;
  return cache;
}

HRESULT openError() { return errno == ENOMEM ? E_OUTOFMEMORY : E_INVALIDARG; }

// Writes through cd into out from position used, growing out as needed.
// Returns 0, or the errno that stopped the conversion (EILSEQ or EINVAL).
// A null in flushes the shift state.
int pump(iconv_t cd, char** in, std::size_t* inLeft, std::string& out, std::size_t& used) {
  for (;;) {
    if (out.size() - used < 16) out.resize(out.size() * 2 + 64);
    char* dst = out.data() + used;
    std::size_t dstLeft = out.size() - used;
    const std::size_t rc = iconv(cd, in, inLeft, &dst, &dstLeft);
    const int error = errno;
    used = static_cast<std::size_t>(dst - out.data());
    if (rc != static_cast<std::size_t>(-1)) return 0;
    if (error == E2BIG) {
      out.resize(out.size() * 2 + 64);
      continue;
    }
    return error == EILSEQ || error == EINVAL ? error : EILSEQ;
  }
}

void pumpText(iconv_t cd, std::string_view text, std::string& out, std::size_t& used) {
  char* in = const_cast<char*>(text.data());
  std::size_t inLeft = text.size();
  pump(cd, &in, &inLeft, out, used);
}

// glibc converts UTF-8 to most code pages in two steps and, when the second
// step meets a character it lacks, reconverts the input from the start of
// the call to find where it stopped. Feeding the input in slices bounds that
// work, which would otherwise grow with the square of the text's length.
constexpr std::size_t kEncodeSlice = 1024;

// Stateless code pages that write every ASCII character as its own byte.
bool asciiCompatible(int number) {
  switch (number) {
    case 1200:
    case 1201:
    case 12000:
    case 12001:
      return false;
    default:
      return true;  // the JIS family never comes here
  }
}

HRESULT iconvEncode(const CodePage& cp, std::string_view utf8, std::string& out) {
  iconv_t cd = descriptors().get(cp, true);
  if (cd == DescriptorCache::invalid()) return openError();
  std::size_t used = out.size();
  out.resize(used + utf8.size() * static_cast<std::size_t>(cp.unit) + 64);
  std::size_t pos = 0;
  const auto byteAt = [&](std::size_t i) { return static_cast<unsigned char>(utf8[i]); };
  while (pos < utf8.size()) {
    std::size_t end = utf8.size();
    if (asciiCompatible(cp.number)) {
      // Markup is mostly ASCII, which these code pages write unchanged:
      // copy it and give iconv only the runs around other characters.
      const std::size_t ascii =
          skipAscii(reinterpret_cast<const unsigned char*>(utf8.data()), pos, utf8.size());
      if (ascii > pos) {
        if (out.size() - used < ascii - pos) out.resize(used + (ascii - pos) + 64);
        std::memcpy(out.data() + used, utf8.data() + pos, ascii - pos);
        used += ascii - pos;
        pos = ascii;
        continue;
      }
      // The other characters run up to the next stretch of ASCII worth
      // copying on its own.
      constexpr std::size_t kWorthCopying = 16;
      const std::size_t limit = std::min(utf8.size(), pos + kEncodeSlice);
      std::size_t run = 0;
      for (end = pos; end < limit; ++end) {
        run = byteAt(end) < 0x80 ? run + 1 : 0;
        if (run == kWorthCopying) {
          end -= kWorthCopying - 1;
          break;
        }
      }
    } else if (end - pos > kEncodeSlice) {
      end = pos + kEncodeSlice;
    }
    // End the slice on a character boundary.
    if (end < utf8.size())
      for (int back = 0; back < 3 && end > pos + 1 && (byteAt(end) & 0xC0) == 0x80; ++back) --end;
    char* in = const_cast<char*>(utf8.data() + pos);
    std::size_t inLeft = end - pos;
    while (inLeft > 0) {
      if (pump(cd, &in, &inLeft, out, used) == 0) break;
      // A character the code page lacks, or bytes that are no UTF-8.
      std::size_t bad = 0;
      std::size_t skip = scanUtf8(reinterpret_cast<const unsigned char*>(in), inLeft, bad);
      const bool invalidInput = skip == 0;
      if (invalidInput) skip = bad;
      in += skip;
      inLeft -= skip;
      pumpText(cd, invalidInput && cp.unicode ? kReplacementUtf8 : "?", out, used);
    }
    pos = end;
  }
  pump(cd, nullptr, nullptr, out, used);
  out.resize(used);
  return S_OK;
}

HRESULT iconvDecode(const CodePage& cp, std::string_view bytes, std::string& utf8) {
  iconv_t cd = descriptors().get(cp, false);
  if (cd == DescriptorCache::invalid()) return openError();
  std::size_t used = utf8.size();
  utf8.resize(used + bytes.size() + bytes.size() / 2 + 64);
  char* in = const_cast<char*>(bytes.data());
  std::size_t inLeft = bytes.size();
  while (inLeft > 0) {
    const int error = pump(cd, &in, &inLeft, utf8, used);
    if (error == 0) break;
    // The output is UTF-8, which has no shift state: write U+FFFD directly.
    if (utf8.size() - used < 3) utf8.resize(utf8.size() * 2 + 64);
    utf8.replace(used, 3, kReplacementUtf8, 3);
    used += 3;
    const std::size_t skip = error == EINVAL ? inLeft : static_cast<std::size_t>(cp.unit);
    const std::size_t n = skip < inLeft ? skip : inLeft;
    in += n;
    inLeft -= n;
  }
  utf8.resize(used);
  return S_OK;
}

// --- Code page 932 through a table ------------------------------------------

bool isSjisLead(unsigned char b) { return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC); }

void appendUtf8(std::string& out, char32_t c) {
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
    iconv_t cd = iconv_open("CP932", "UTF-8");
    if (cd == DescriptorCache::invalid()) return false;
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
    iconv_close(cd);
    return true;
  }

  std::uint16_t codes_[0x10000] = {};
};

HRESULT tableEncode(const ShiftJisTable& table, std::string_view utf8, std::string& out) {
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

// UTF-8 to code page 932.
HRESULT shiftJisEncode(std::string_view utf8, std::string& out) {
  if (const ShiftJisTable* table = ShiftJisTable::get()) return tableEncode(*table, utf8, out);
  return iconvEncode(*findCodePage(kShiftJis), utf8, out);
}

// --- ISO-2022-JP family ------------------------------------------------------

constexpr char kEsc = 0x1B;
constexpr char kShiftOut = 0x0E;
constexpr char kShiftIn = 0x0F;

// Full-width CP932 codes of the half-width katakana A1..DF.
constexpr uint16_t kFullwidthKana[0xDF - 0xA1 + 1] = {
    0x8142, 0x8175, 0x8176, 0x8141, 0x8145, 0x8392, 0x8340, 0x8342, 0x8344, 0x8346, 0x8348,
    0x8383, 0x8385, 0x8387, 0x8362, 0x815B, 0x8341, 0x8343, 0x8345, 0x8347, 0x8349, 0x834A,
    0x834C, 0x834E, 0x8350, 0x8352, 0x8354, 0x8356, 0x8358, 0x835A, 0x835C, 0x835E, 0x8360,
    0x8363, 0x8365, 0x8367, 0x8369, 0x836A, 0x836B, 0x836C, 0x836D, 0x836E, 0x8371, 0x8374,
    0x8377, 0x837A, 0x837D, 0x837E, 0x8380, 0x8381, 0x8382, 0x8384, 0x8386, 0x8388, 0x8389,
    0x838A, 0x838B, 0x838C, 0x838D, 0x838F, 0x8393, 0x814A, 0x814B};

// The half-width kana at kana followed by next (a sound mark or not), as one
// full-width CP932 code; consumed tells whether next was merged into it.
uint16_t fullwidthKana(unsigned char kana, int next, bool& consumed) {
  uint16_t code = kFullwidthKana[kana - 0xA1];
  consumed = false;
  if (next == 0xDE) {  // voiced sound mark
    if ((kana >= 0xB6 && kana <= 0xC4) || (kana >= 0xCA && kana <= 0xCE)) {
      consumed = true;
      return static_cast<uint16_t>(code + 1);
    }
    if (kana == 0xB3) {
      consumed = true;
      return 0x8394;
    }
  } else if (next == 0xDF && kana >= 0xCA && kana <= 0xCE) {  // semi-voiced
    consumed = true;
    return static_cast<uint16_t>(code + 2);
  }
  return code;
}

enum class JisMode { Ascii, Kanji, KanaEscape, KanaShift };

class JisWriter {
 public:
  JisWriter(JisKana kana, std::string& out) : kana_(kana), out_(out) {}

  void ascii(char c) {
    to(JisMode::Ascii);
    out_ += c;
  }
  void kanji(uint16_t sjis) {
    const unsigned lead = sjis >> 8, trail = sjis & 0xFF;
    const unsigned row = ((lead - (lead <= 0x9F ? 0x70 : 0xB0)) << 1) - (trail < 0x9F ? 1 : 0);
    const unsigned cell = trail < 0x9F ? trail - (trail >= 0x80 ? 0x20 : 0x1F) : trail - 0x7E;
    to(JisMode::Kanji);
    out_ += static_cast<char>(row);
    out_ += static_cast<char>(cell);
  }
  void halfwidthKana(unsigned char b) {
    to(kana_ == JisKana::ShiftOut ? JisMode::KanaShift : JisMode::KanaEscape);
    out_ += static_cast<char>(b - 0x80);
  }
  void finish() { to(JisMode::Ascii); }

 private:
  void to(JisMode mode) {
    if (mode == mode_) return;
    if (mode_ == JisMode::KanaShift) {
      out_ += kShiftIn;
      mode_ = JisMode::Ascii;
      if (mode == mode_) return;
    }
    switch (mode) {
      case JisMode::Ascii:
        out_.append("\x1B(B", 3);
        break;
      case JisMode::Kanji:
        out_.append("\x1B$B", 3);
        break;
      case JisMode::KanaEscape:
        out_.append("\x1B(I", 3);
        break;
      case JisMode::KanaShift:
        if (mode_ != JisMode::Ascii) out_.append("\x1B(B", 3);
        out_ += kShiftOut;
        break;
    }
    mode_ = mode;
  }

  JisKana kana_;
  std::string& out_;
  JisMode mode_ = JisMode::Ascii;
};

HRESULT jisEncode(const CodePage& cp, std::string_view utf8, std::string& out) {
  std::string sjis;
  const HRESULT hr = shiftJisEncode(utf8, sjis);
  if (failed(hr)) return hr;
  out.reserve(out.size() + sjis.size() + sjis.size() / 4 + 8);
  JisWriter writer(cp.kana, out);
  const auto* p = reinterpret_cast<const unsigned char*>(sjis.data());
  const std::size_t n = sjis.size();
  for (std::size_t i = 0; i < n; ++i) {
    const unsigned char b = p[i];
    if (b < 0x80) {
      writer.ascii(static_cast<char>(b));
    } else if (b >= 0xA1 && b <= 0xDF) {
      if (cp.kana == JisKana::Fullwidth) {
        bool consumed = false;
        writer.kanji(fullwidthKana(b, i + 1 < n ? p[i + 1] : -1, consumed));
        if (consumed) ++i;
      } else {
        writer.halfwidthKana(b);
      }
    } else if (isSjisLead(b) && i + 1 < n) {
      // Rows beyond JIS X 0208 (user-defined area, IBM extensions) have no
      // JIS form.
      if (b <= 0xEF)
        writer.kanji(static_cast<uint16_t>(b << 8 | p[i + 1]));
      else
        writer.ascii('?');
      ++i;
    } else {
      writer.ascii('?');
    }
  }
  writer.finish();
  return S_OK;
}

HRESULT jisDecode(std::string_view bytes, std::string& utf8) {
  // Rewritten as CP932 and decoded from there; 0xFF is no CP932 byte and so
  // comes out as U+FFFD.
  constexpr char kInvalid = static_cast<char>(0xFF);
  std::string sjis;
  sjis.reserve(bytes.size());
  JisMode mode = JisMode::Ascii;
  bool shifted = false;
  const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
  const std::size_t n = bytes.size();
  for (std::size_t i = 0; i < n; ++i) {
    const unsigned char b = p[i];
    if (b == kEsc) {
      const std::string_view rest = bytes.substr(i + 1, 2);
      if (rest == "(B" || rest == "(J") {
        mode = JisMode::Ascii;
      } else if (rest == "(I") {
        mode = JisMode::KanaEscape;
      } else if (rest == "$B" || rest == "$@") {
        mode = JisMode::Kanji;
      } else {
        sjis += kInvalid;
        continue;
      }
      i += 2;
    } else if (b == static_cast<unsigned char>(kShiftOut)) {
      shifted = true;
    } else if (b == static_cast<unsigned char>(kShiftIn)) {
      shifted = false;
    } else if (b < 0x21 || b == 0x7F) {
      sjis += static_cast<char>(b);  // controls and line ends pass in any mode
    } else if (b >= 0x80) {
      sjis += kInvalid;
    } else if (shifted || mode == JisMode::KanaEscape) {
      sjis += b <= 0x5F ? static_cast<char>(b + 0x80) : kInvalid;
    } else if (mode == JisMode::Kanji) {
      if (i + 1 < n && p[i + 1] >= 0x21 && p[i + 1] <= 0x7E) {
        const unsigned row = b, cell = p[i + 1];
        const unsigned lead = ((row + 1) >> 1) + (row <= 0x5E ? 0x70 : 0xB0);
        const unsigned trail = (row & 1) ? cell + (cell <= 0x5F ? 0x1F : 0x20) : cell + 0x7E;
        sjis += static_cast<char>(lead);
        sjis += static_cast<char>(trail);
        ++i;
      } else {
        sjis += kInvalid;
      }
    } else {
      sjis += static_cast<char>(b);
    }
  }
  return iconvDecode(*findCodePage(kShiftJis), sjis, utf8);
}

}  // namespace

int ansiCodePage() {
  static const int value = [] {
    const char* env = std::getenv("VANTOMER_ANSI_CODEPAGE");
    if (env && *env) {
      const int number = text::parseDecimal32(env);
      // An unusable value would break every narrow text; keep the default.
      if (number > 0 && isKnown(number)) return number;
    }
    return kDefaultAnsi;
  }();
  return value;
}

int resolve(int codePage) { return codePage == 0 ? ansiCodePage() : codePage; }

bool isKnown(int codePage) {
  const CodePage* cp = findCodePage(resolve(codePage));
  if (!cp) return false;
  if (cp->method != Method::Iconv) return true;
  try {
    return descriptors().get(*cp, true) != DescriptorCache::invalid() &&
           descriptors().get(*cp, false) != DescriptorCache::invalid();
  } catch (const std::bad_alloc&) {
    return false;
  }
}

namespace {

// Converts into a fresh string so that the input may live in the output and
// a failure leaves the output as it was.
template <typename Convert>
HRESULT convertInto(std::string& out, Convert convert) {
  try {
    std::string result;
    const HRESULT hr = convert(result);
    if (succeeded(hr)) out.swap(result);
    return hr;
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  }
}

HRESULT encodeInto(const CodePage& cp, std::string_view utf8, std::string& out) {
  switch (cp.method) {
    case Method::Utf8:
      sanitizeUtf8(utf8, out);
      return S_OK;
    case Method::Iconv:
      if (cp.number == kShiftJis) return shiftJisEncode(utf8, out);
      return iconvEncode(cp, utf8, out);
    case Method::Jis:
      return jisEncode(cp, utf8, out);
  }
  return E_INVALIDARG;
}

HRESULT decodeInto(const CodePage& cp, std::string_view bytes, std::string& utf8) {
  switch (cp.method) {
    case Method::Utf8:
      sanitizeUtf8(bytes, utf8);
      return S_OK;
    case Method::Iconv:
      return iconvDecode(cp, bytes, utf8);
    case Method::Jis:
      return jisDecode(bytes, utf8);
  }
  return E_INVALIDARG;
}

// Appends in place; a failure takes back what was appended.
template <typename Convert>
HRESULT appendTo(std::string& out, Convert convert) {
  const std::size_t base = out.size();
  try {
    const HRESULT hr = convert(out);
    if (failed(hr)) out.resize(base);
    return hr;
  } catch (const std::bad_alloc&) {
    out.resize(base);
    return E_OUTOFMEMORY;
  }
}

}  // namespace

HRESULT encode(int codePage, std::string_view utf8, std::string& out) {
  const CodePage* cp = findCodePage(resolve(codePage));
  if (!cp) return E_INVALIDARG;
  return convertInto(out, [&](std::string& result) { return encodeInto(*cp, utf8, result); });
}

HRESULT decode(int codePage, std::string_view bytes, std::string& utf8) {
  const CodePage* cp = findCodePage(resolve(codePage));
  if (!cp) return E_INVALIDARG;
  return convertInto(utf8, [&](std::string& result) { return decodeInto(*cp, bytes, result); });
}

HRESULT encodeAppend(int codePage, std::string_view utf8, std::string& out) {
  const CodePage* cp = findCodePage(resolve(codePage));
  if (!cp) return E_INVALIDARG;
  return appendTo(out, [&](std::string& target) { return encodeInto(*cp, utf8, target); });
}

HRESULT decodeAppend(int codePage, std::string_view bytes, std::string& utf8) {
  const CodePage* cp = findCodePage(resolve(codePage));
  if (!cp) return E_INVALIDARG;
  return appendTo(utf8, [&](std::string& target) { return decodeInto(*cp, bytes, target); });
}

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
    const std::size_t length = scanUtf8(p + i, n - i, bad);
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
