#include "http/content_type.h"

namespace vantomer {

std::string_view ContentType::mediaTypeOf(std::string_view value) {
  // The value is a C string to this parser: nothing after a NUL counts.
  value = value.substr(0, value.find('\0'));
  const std::size_t pos = value.find_first_not_of(' ');
  if (pos == std::string_view::npos) return {};
  return value.substr(pos, value.find(';', pos) - pos);
}

void ContentType::parse(std::string_view value) {
  mediaType.clear();
  parameters.clear();
  value = value.substr(0, value.find('\0'));

  mediaType.assign(mediaTypeOf(value));
  std::size_t pos = value.find(';', value.find_first_not_of(' '));
  if (pos == std::string_view::npos) return;

  while (pos < value.size() && value[pos] == ';') {
    ++pos;
    while (pos < value.size() && value[pos] == ' ') ++pos;
    // A ";" does not end a name: only "=" does.
    const std::size_t equals = value.find('=', pos);
    if (equals == std::string_view::npos) return;
    std::string_view name = value.substr(pos, equals - pos);
    std::size_t valueEnd = value.find(';', equals + 1);
    if (valueEnd == std::string_view::npos) valueEnd = value.size();
    // emplace keeps the first occurrence of a name.
    parameters.emplace(std::string(name),
                       std::string(value.substr(equals + 1, valueEnd - equals - 1)));
    pos = valueEnd;
  }
}

std::string ContentType::format() const {
  std::string out = mediaType;
  for (const auto& [name, value] : parameters) {
    out += "; ";
    out += name;
    out += '=';
    out += value;
  }
  return out;
}

}  // namespace vantomer
