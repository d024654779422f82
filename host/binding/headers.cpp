#include "binding/headers.h"

#include <algorithm>

namespace vantomer::host {
void refillHeader(Headers& headers, std::size_t index, std::string_view name,
                  std::string_view value) {
  if (index < headers.size()) {
    copyText(headers[index].name, name);
    copyText(headers[index].value, value);
  } else {
    headers.push_back({std::string(name), std::string(value)});
  }
}

std::optional<std::string> findHeader(const Headers& headers, std::string_view name,
                                      std::string_view separator) {
  std::optional<std::string> result;
  for (const Header& h : headers) {
    if (!iequalsAscii(h.name, name)) continue;
    if (result) {
      result->append(separator);
      result->append(h.value);
    } else {
      result = h.value;
    }
  }
  return result;
}

void removeHeaders(Headers& headers, std::string_view name) {
  std::erase_if(headers, [&](const Header& h) { return iequalsAscii(h.name, name); });
}

bool hasToken(const Headers& headers, std::string_view name, std::string_view token) {
  bool found = false;
  for (const Header& h : headers) {
    if (!iequalsAscii(h.name, name)) continue;
    forEachToken(h.value, [&](std::string_view t) { found = found || iequalsAscii(t, token); });
  }
  return found;
}

}  // namespace vantomer::host
