#include "server/access_log.h"

#include <unistd.h>

#include <cstdio>
#include <ctime>

namespace vantomer::host {
namespace {

// Client-supplied text must not forge lines or fields of the log.
std::string escaped(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    const unsigned char u = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (u < 0x20 || u == 0x7f) {
      char hex[8];
      std::snprintf(hex, sizeof hex, "\\x%02x", u);
      out += hex;
    } else {
      out += c;
    }
  }
  return out;
}

std::string quotedOrDash(std::string_view text) {
  return text.empty() ? std::string("\"-\"") : "\"" + escaped(text) + "\"";
}

}  // namespace

std::string AccessLog::format(const AccessRecord& r, std::int64_t unixSeconds) {
  std::time_t t = static_cast<std::time_t>(unixSeconds);
  std::tm tm{};
  localtime_r(&t, &tm);
  char when[64];
  std::strftime(when, sizeof when, "%d/%b/%Y:%H:%M:%S %z", &tm);
  std::string line = escaped(r.remoteAddress) + " - - [" + when + "] " +
                     quotedOrDash(r.requestLine) + " " +
                     (r.status ? std::to_string(r.status) : std::string("-")) + " " +
                     (r.bodyBytes ? std::to_string(r.bodyBytes) : std::string("-")) + " " +
                     quotedOrDash(r.referer) + " " + quotedOrDash(r.userAgent) + "\n";
  return line;
}

void AccessLog::write(const AccessRecord& record) const {
  if (!enabled_) return;
  const std::string line = format(record, std::time(nullptr));
  // One write per line keeps lines of concurrent requests apart.
  std::size_t done = 0;
  while (done < line.size()) {
    const ssize_t n = ::write(STDOUT_FILENO, line.data() + done, line.size() - done);
    if (n <= 0) return;
    done += static_cast<std::size_t>(n);
  }
}

}  // namespace vantomer::host
