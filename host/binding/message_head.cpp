#include "binding/message_head.h"

#include <algorithm>
#include <charconv>
#include <cstring>
#include <vector>

namespace vantomer::host {
namespace {

bool isTokenChar(char c) {
  if (c >= 'a' && c <= 'z') return true;
  if (c >= 'A' && c <= 'Z') return true;
  if (c >= '0' && c <= '9') return true;
  return std::string_view("!#$%&'*+-.^_`|~").find(c) != std::string_view::npos;
}

bool isDigit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

void ownFields(Headers& headers, const FieldSource*& source) {
  if (!source) return;
  headers.clear();
  forEachField(headers, source, [&headers](std::string_view name, std::string_view value) {
    headers.push_back({std::string(name), std::string(value)});
  });
  source = nullptr;
}

std::string_view RequestHead::path() const {
  std::string_view u = url;
  return u.substr(0, u.find('?'));
}

std::string_view RequestHead::query() const {
  std::string_view u = url;
  const std::size_t q = u.find('?');
  return q == std::string_view::npos ? std::string_view() : u.substr(q + 1);
}

void ResponseHead::format() {
  // Written in place: this runs for every response, and raw keeps its buffer.
  char digits[16];
  const std::string_view code(digits, std::to_chars(digits, digits + sizeof digits, status).ptr);
  std::size_t size = version.size() + code.size() + reason.size() + 6;
  forEachHeader([&size](std::string_view name, std::string_view value) {
    size += name.size() + value.size() + 4;
  });
  raw.resize(size);
  char* out = raw.data();
  auto put = [&out](std::string_view text) {
    if (text.empty()) return;
    std::memcpy(out, text.data(), text.size());
    out += text.size();
  };
  put(version);
  put(" ");
  put(code);
  put(" ");
  put(reason);
  put("\r\n");
  forEachHeader([&put](std::string_view name, std::string_view value) {
    put(name);
    put(": ");
    put(value);
    put("\r\n");
  });
  put("\r\n");
}

bool parseResponseHead(std::string_view raw, ResponseHead& head, std::string& error) {
  head = ResponseHead{};
  std::vector<std::string_view> lines;
  while (!raw.empty()) {
    const std::size_t lf = raw.find('\n');
    std::string_view line = raw.substr(0, lf);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line.empty()) break;
    if (line.find('\r') != std::string_view::npos || line.find('\0') != std::string_view::npos) {
      error = "control character in the response head";
      return false;
    }
    lines.push_back(line);
    if (lf == std::string_view::npos) break;
    raw.remove_prefix(lf + 1);
  }
  if (lines.empty()) {
    error = "empty response head";
    return false;
  }
  std::string_view status = lines.front();
  if (status.size() < 12 || status.substr(0, 5) != "HTTP/" || status[6] != '.' ||
      !isDigit(status[5]) || !isDigit(status[7]) || status[8] != ' ') {
    error = "malformed status line";
    return false;
  }
  for (int i = 9; i < 12; ++i) {
    if (!isDigit(status[i])) {
      error = "malformed status code";
      return false;
    }
  }
  if (status.size() > 12 && status[12] != ' ') {
    error = "malformed status line";
    return false;
  }
  head.version = std::string(status.substr(0, 8));
  head.status = (status[9] - '0') * 100 + (status[10] - '0') * 10 + (status[11] - '0');
  if (head.status < 100) {
    error = "malformed status code";
    return false;
  }
  if (status.size() > 13) head.reason = std::string(status.substr(13));
  for (std::size_t i = 1; i < lines.size(); ++i) {
    std::string_view line = lines[i];
    if (line.front() == ' ' || line.front() == '\t') {
      error = "folded header line";
      return false;
    }
    const std::size_t colon = line.find(':');
    if (colon == std::string_view::npos || colon == 0 ||
        !std::all_of(line.begin(), line.begin() + colon, isTokenChar)) {
      error = "malformed header line";
      return false;
    }
    head.headers.push_back(
        {std::string(line.substr(0, colon)), std::string(trimOws(line.substr(colon + 1)))});
  }
  return true;
}

}  // namespace vantomer::host
