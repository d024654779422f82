// URLs: splitting, joining, and the key mark in the path.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "http/url_format.h"

namespace {

bool sameParts(const vantomer::ParsedUrl& a, const vantomer::ParsedUrl& b) {
  return a.scheme == b.scheme && a.host == b.host && a.path == b.path && a.query == b.query &&
         a.fragment == b.fragment;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  vantomer::ParsedUrl url;
  if (url.parse(text) != 0) return 0;

  // Links are rewritten by parse, change, format: an unchanged URL must come
  // back with the same parts.
  const std::string joined = url.format();
  if (joined.size() > text.size() + 2) std::abort();
  vantomer::ParsedUrl again;
  if (again.parse(joined) != 0 || !sameParts(url, again)) std::abort();

  const std::string mark = "(=KEY=)";
  std::string path = url.path;
  vantomer::insertKeyMark(path, mark);
  if (path.size() != url.path.size() + mark.size()) std::abort();
  if (path.find(mark) == std::string::npos) std::abort();
  return 0;
}
