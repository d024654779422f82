#include "commands/command_line.h"

#include <charconv>
#include <cmath>

namespace vantomer::host {

bool CommandLine::value(std::string_view name, std::string& out) {
  if (!more()) return false;
  const std::string& arg = args_[pos_];
  if (arg == name) {
    if (pos_ + 1 >= args_.size()) {
      fail("option " + std::string(name) + " needs a value");
      ++pos_;
      return true;
    }
    out = args_[pos_ + 1];
    pos_ += 2;
    return true;
  }
  if (arg.size() > name.size() && arg.compare(0, name.size(), name) == 0 &&
      arg[name.size()] == '=') {
    out = arg.substr(name.size() + 1);
    ++pos_;
    return true;
  }
  return false;
}

bool CommandLine::flag(std::string_view name) {
  if (!more() || args_[pos_] != name) return false;
  ++pos_;
  return true;
}

bool parseDuration(std::string_view text, std::chrono::milliseconds& out) {
  double scale = 1000.0;
  if (text.ends_with("ms")) {
    scale = 1.0;
    text.remove_suffix(2);
  } else if (text.ends_with("s")) {
    text.remove_suffix(1);
  }
  if (text.empty()) return false;
  double value = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || end != text.data() + text.size() || !std::isfinite(value) || value < 0 ||
      value * scale > 1e9)
    return false;
  out = std::chrono::milliseconds(static_cast<std::int64_t>(std::llround(value * scale)));
  return true;
}

bool parseSize(std::string_view text, std::uint64_t& out) {
  std::uint64_t scale = 1;
  if (!text.empty()) {
    switch (text.back()) {
      case 'k':
      case 'K':
        scale = 1024;
        break;
      case 'm':
      case 'M':
        scale = 1024 * 1024;
        break;
      case 'g':
      case 'G':
        scale = 1024 * 1024 * 1024;
        break;
      default:
        break;
    }
    if (scale != 1) text.remove_suffix(1);
  }
  std::uint64_t value = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || ec != std::errc() || end != text.data() + text.size() ||
      value > (UINT64_C(1) << 50) / scale)
    return false;
  out = value * scale;
  return true;
}

bool parseHostPort(std::string_view text, std::string& host, unsigned& port) {
  std::size_t colon;
  if (!text.empty() && text.front() == '[') {
    const std::size_t close = text.find(']');
    if (close == std::string_view::npos || close + 1 >= text.size() || text[close + 1] != ':')
      return false;
    host = std::string(text.substr(1, close - 1));
    colon = close + 1;
  } else {
    colon = text.rfind(':');
    if (colon == std::string_view::npos) return false;
    host = std::string(text.substr(0, colon));
  }
  std::string_view digits = text.substr(colon + 1);
  unsigned value = 0;
  const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
  if (host.empty() || digits.empty() || ec != std::errc() || end != digits.data() + digits.size() ||
      value > 65535)
    return false;
  port = value;
  return true;
}

bool parseUpstream(std::string_view text, std::string& host, unsigned& port) {
  if (!text.starts_with("http://")) return false;
  text.remove_prefix(7);
  if (text.ends_with("/")) text.remove_suffix(1);
  if (text.find('/') != std::string_view::npos || text.empty()) return false;
  const bool bracketed = text.front() == '[';
  const std::size_t colon = text.rfind(':');
  if (colon == std::string_view::npos || (bracketed && text.back() == ']')) {
    host = std::string(bracketed ? text.substr(1, text.size() - 2) : text);
    port = 80;
    return !host.empty();
  }
  return parseHostPort(text, host, port);
}

}  // namespace vantomer::host
