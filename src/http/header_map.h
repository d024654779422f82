#pragma once
// The held response's header fields: names ordered like _stricmp, fields of
// one name in arrival order (multimap insertion goes after equal keys).

#include <map>
#include <string>
#include <string_view>

#include "platform/text.h"

namespace vantomer {

using HeaderMap = std::multimap<std::string, std::string, text::ILess>;

// The first entry of that name in iteration order, or end().
inline HeaderMap::iterator findHeader(HeaderMap& headers, std::string_view name) {
  auto it = headers.lower_bound(name);
  return (it != headers.end() && text::iequals(it->first, name)) ? it : headers.end();
}
inline HeaderMap::const_iterator findHeader(const HeaderMap& headers, std::string_view name) {
  auto it = headers.lower_bound(name);
  return (it != headers.end() && text::iequals(it->first, name)) ? it : headers.end();
}

}  // namespace vantomer
