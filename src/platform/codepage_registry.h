#pragma once
// The code pages this module converts, by Windows number: how each one is
// converted and what its converter needs to know.

namespace vantomer::codepage::detail {

inline constexpr int kShiftJis = 932;

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

// The entry for a number as given (0 is not resolved here), or null.
const CodePage* findCodePage(int number);

}  // namespace vantomer::codepage::detail
