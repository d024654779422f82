#include "http/url_format.h"

namespace vantomer {

HRESULT ParsedUrl::parse(std::string_view url) {
  *this = ParsedUrl();
  const std::size_t stop = url.find_first_of(":/?#");
  std::size_t pathStart = 0;
  if (stop != std::string_view::npos && url[stop] == ':') {
    scheme = std::string(url.substr(0, stop));
    if (scheme != "http" && scheme != "https") return S_FALSE;
    // The two characters after the colon are taken to be "//" unseen; a text
    // that ends before them has an empty host.
    const std::size_t hostStart = stop + 3 < url.size() ? stop + 3 : url.size();
    pathStart = url.find('/', hostStart);
    if (pathStart == std::string_view::npos) pathStart = url.size();
    host = std::string(url.substr(hostStart, pathStart - hostStart));
  }
  std::size_t end = url.find_first_of("?#", pathStart);
  if (end == std::string_view::npos) end = url.size();
  path = std::string(url.substr(pathStart, end - pathStart));
  std::size_t rest = end;
  if (rest < url.size() && url[rest] == '?') {
    std::size_t hash = url.find('#', rest);
    if (hash == std::string_view::npos) hash = url.size();
    query = std::string(url.substr(rest, hash - rest));
    rest = hash;
  }
  fragment = std::string(url.substr(rest));
  return S_OK;
}

std::string ParsedUrl::format() const {
  std::string out;
  out.reserve(scheme.size() + host.size() + path.size() + query.size() + fragment.size() + 3);
  if (!scheme.empty()) out.append(scheme).append("://").append(host);
  out.append(path).append(query).append(fragment);
  return out;
}

void insertKeyMark(std::string& path, std::string_view mark) {
  const std::size_t slash = path.rfind('/');
  path.insert(slash == std::string::npos ? 0 : slash + 1, mark);
}

}  // namespace vantomer
