#include "platform/codepage_jis.h"

#include <cstdint>

#include "platform/codepage_932.h"
#include "platform/codepage_iconv.h"

namespace vantomer::codepage::detail {
namespace {

constexpr char kEsc = 0x1B;
constexpr char kShiftOut = 0x0E;
constexpr char kShiftIn = 0x0F;

// Full-width CP932 codes of the half-width katakana A1..DF.
constexpr std::uint16_t kFullwidthKana[0xDF - 0xA1 + 1] = {
    0x8142, 0x8175, 0x8176, 0x8141, 0x8145, 0x8392, 0x8340, 0x8342, 0x8344, 0x8346, 0x8348,
    0x8383, 0x8385, 0x8387, 0x8362, 0x815B, 0x8341, 0x8343, 0x8345, 0x8347, 0x8349, 0x834A,
    0x834C, 0x834E, 0x8350, 0x8352, 0x8354, 0x8356, 0x8358, 0x835A, 0x835C, 0x835E, 0x8360,
    0x8363, 0x8365, 0x8367, 0x8369, 0x836A, 0x836B, 0x836C, 0x836D, 0x836E, 0x8371, 0x8374,
    0x8377, 0x837A, 0x837D, 0x837E, 0x8380, 0x8381, 0x8382, 0x8384, 0x8386, 0x8388, 0x8389,
    0x838A, 0x838B, 0x838C, 0x838D, 0x838F, 0x8393, 0x814A, 0x814B};

// The half-width kana at kana followed by next (a sound mark or not), as one
// full-width CP932 code; consumed tells whether next was merged into it.
std::uint16_t fullwidthKana(unsigned char kana, int next, bool& consumed) {
  std::uint16_t code = kFullwidthKana[kana - 0xA1];
  consumed = false;
  if (next == 0xDE) {  // voiced sound mark
    if ((kana >= 0xB6 && kana <= 0xC4) || (kana >= 0xCA && kana <= 0xCE)) {
      consumed = true;
      return static_cast<std::uint16_t>(code + 1);
    }
    if (kana == 0xB3) {
      consumed = true;
      return 0x8394;
    }
  } else if (next == 0xDF && kana >= 0xCA && kana <= 0xCE) {  // semi-voiced
    consumed = true;
    return static_cast<std::uint16_t>(code + 2);
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
  void kanji(std::uint16_t sjis) {
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

}  // namespace

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
        writer.kanji(static_cast<std::uint16_t>(b << 8 | p[i + 1]));
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

}  // namespace vantomer::codepage::detail
