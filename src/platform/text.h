#pragma once
// Small byte-string helpers shared by every part: ASCII case folding and the
// C library's number reading rules.

#include <cstdint>
#include <string>
#include <string_view>

namespace vantomer::text {

inline char asciiLower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; }

// Whole-string comparison ignoring ASCII case.
bool iequals(std::string_view a, std::string_view b);

// _stricmp order: ASCII letters folded to lower case, bytes unsigned.
int icompare(std::string_view a, std::string_view b);

struct ILess {
  using is_transparent = void;
  bool operator()(std::string_view a, std::string_view b) const { return icompare(a, b) < 0; }
};

// strtol/wcstol with base 10: leading white space, optional sign, digits up
// to the first non-digit, 0 without digits, clamped to the 32-bit range.
int32_t parseDecimal32(std::string_view s);

// strtol with base 16: leading white space, optional sign, optional 0x,
// hex digits, 0 without digits, clamped to the 32-bit range.
int32_t parseHex32(std::string_view s);

// Replaces every occurrence of from by to, scanning left to right and
// resuming after each insertion.
std::string replaceAll(std::string_view s, std::string_view from, std::string_view to);

}  // namespace vantomer::text
