#pragma once
// A Content-Type value split into media type and parameters.

#include <map>
#include <string>
#include <string_view>

#include "platform/text.h"

namespace vantomer {

struct ContentType {
  std::string mediaType;
  // Names unique ignoring case; the first occurrence wins.
  std::map<std::string, std::string, text::ILess> parameters;

  void parse(std::string_view value);
  // The media type parse would find, without the parameters.
  static std::string_view mediaTypeOf(std::string_view value);
  std::string format() const;
};

}  // namespace vantomer
