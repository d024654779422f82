// Content-Type values: parsing, and formatting back to text that parses the same.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "http/content_type.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  // The host hands the value over NUL-terminated: nothing after a NUL counts.
  std::string_view value(reinterpret_cast<const char*>(data), size);
  value = value.substr(0, value.find('\0'));

  vantomer::ContentType first;
  first.parse(value);
  const std::string text = first.format();

  // The conversion rewrites the header through format; what it writes must
  // read back as the same media type and parameters.
  vantomer::ContentType second;
  second.parse(text);
  if (second.mediaType != first.mediaType || second.parameters != first.parameters) std::abort();
  if (second.format() != text) std::abort();
  return 0;
}
