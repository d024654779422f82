#include "binding/value_reply.h"

#include <charconv>

namespace vantomer::host {

void ValueText::appendNumber(unsigned long long number) {
  char digits[24];
  const auto end = std::to_chars(digits, digits + sizeof digits, number).ptr;
  append(std::string_view(digits, static_cast<std::size_t>(end - digits)));
}

}  // namespace vantomer::host
