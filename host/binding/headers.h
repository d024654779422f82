#pragma once
// Header fields as the host keeps them: in arrival order, names compared
// ignoring ASCII case.

#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vantomer::host {

struct Header {
  std::string name;
  std::string value;
};
using Headers = std::vector<Header>;

// Inline: every header lookup of every request runs it.
inline bool iequalsAscii(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  // Names mostly arrive in the case they are looked up in.
  if (a.empty() || std::memcmp(a.data(), b.data(), a.size()) == 0) return true;
  auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; };
  for (std::size_t i = 0; i < a.size(); ++i)
    if (a[i] != b[i] && lower(a[i]) != lower(b[i])) return false;
  return true;
}
// Replaces the text of s, in its own buffer when it fits (the shortest path
// through std::string for text that cannot overlap s).
inline void copyText(std::string& s, std::string_view text) {
  s.clear();
  s.append(text.data(), text.size());
}
// Sets field index of a list that is refilled in place, adding it when the
// list is shorter: the fields keep their buffers, so a keep-alive connection
// copies each head without allocating. The caller drops the fields past the
// last one it set.
void refillHeader(Headers& headers, std::size_t index, std::string_view name,
                  std::string_view value);
// The values of every header of that name, joined by separator; nullopt when none.
std::optional<std::string> findHeader(const Headers& headers, std::string_view name,
                                      std::string_view separator = ", ");
void removeHeaders(Headers& headers, std::string_view name);
// Whether a comma-separated header (Connection, Transfer-Encoding) holds the token.
bool hasToken(const Headers& headers, std::string_view name, std::string_view token);
// The text without the spaces and tabs around it (HTTP's optional white space).
inline std::string_view trimOws(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}
// The items of a comma-separated list, without the white space around them.
template <typename F>
void forEachToken(std::string_view list, F&& f) {
  while (!list.empty()) {
    const std::size_t comma = list.find(',');
    f(trimOws(list.substr(0, comma)));
    if (comma == std::string_view::npos) break;
    list.remove_prefix(comma + 1);
  }
}

}  // namespace vantomer::host
