#include "platform/text.h"

#include <limits>

namespace vantomer::text {

bool iequals(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (asciiLower(a[i]) != asciiLower(b[i])) return false;
  return true;
}

int icompare(std::string_view a, std::string_view b) {
  const std::size_t n = a.size() < b.size() ? a.size() : b.size();
  for (std::size_t i = 0; i < n; ++i) {
    const auto x = static_cast<unsigned char>(asciiLower(a[i]));
    const auto y = static_cast<unsigned char>(asciiLower(b[i]));
    if (x != y) return x < y ? -1 : 1;
  }
  if (a.size() == b.size()) return 0;
  return a.size() < b.size() ? -1 : 1;
}

namespace {

bool isSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

int digitValue(char c, int base) {
  int v = -1;
  if (c >= '0' && c <= '9')
    v = c - '0';
  else if (c >= 'a' && c <= 'z')
    v = c - 'a' + 10;
  else if (c >= 'A' && c <= 'Z')
    v = c - 'A' + 10;
  return v < base ? v : -1;
}

int32_t parseInteger(std::string_view s, int base) {
  std::size_t i = 0;
  while (i < s.size() && isSpace(s[i])) ++i;
  bool negative = false;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) negative = s[i++] == '-';
  if (base == 16 && i + 1 < s.size() && s[i] == '0' && (s[i + 1] == 'x' || s[i + 1] == 'X') &&
      i + 2 < s.size() && digitValue(s[i + 2], 16) >= 0)
    i += 2;
  int64_t value = 0;
  constexpr int64_t limit = int64_t{std::numeric_limits<int32_t>::max()} + 1;
  for (; i < s.size(); ++i) {
    const int d = digitValue(s[i], base);
    if (d < 0) break;
    value = value * base + d;
    if (value > limit) value = limit;
  }
  if (negative) value = -value;
  if (value > std::numeric_limits<int32_t>::max()) return std::numeric_limits<int32_t>::max();
  if (value < std::numeric_limits<int32_t>::min()) return std::numeric_limits<int32_t>::min();
  return static_cast<int32_t>(value);
}

}  // namespace

int32_t parseDecimal32(std::string_view s) { return parseInteger(s, 10); }
int32_t parseHex32(std::string_view s) { return parseInteger(s, 16); }

std::string replaceAll(std::string_view s, std::string_view from, std::string_view to) {
  std::string out;
  out.reserve(s.size());
  std::size_t pos = 0;
  while (!from.empty()) {
    const std::size_t hit = s.find(from, pos);
    if (hit == std::string_view::npos) break;
    out.append(s, pos, hit - pos);
    out.append(to);
    pos = hit + from.size();
  }
  out.append(s, pos, std::string_view::npos);
  return out;
}

}  // namespace vantomer::text
