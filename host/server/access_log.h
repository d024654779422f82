#pragma once
// One line per request in the combined log format, written whole to stdout.

#include <cstdint>
#include <string>
#include <string_view>

namespace vantomer::host {

struct AccessRecord {
  std::string remoteAddress;
  std::string requestLine;  // as the client sent it
  int status = 0;           // 0: no response reached the client
  std::uint64_t bodyBytes = 0;
  std::string referer;
  std::string userAgent;
};

class AccessLog {
 public:
  explicit AccessLog(bool enabled) : enabled_(enabled) {}
  void write(const AccessRecord& record) const;
  static std::string format(const AccessRecord& record, std::int64_t unixSeconds);

 private:
  bool enabled_;
};

}  // namespace vantomer::host
