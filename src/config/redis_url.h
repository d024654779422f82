#pragma once
// Where the cookie stock's Redis is: redis://[[USER]:PASSWORD@]HOST[:PORT][/DB]
// or unix://[[USER]:PASSWORD@]/PATH[?db=N].

#include <cstdint>
#include <string>
#include <string_view>

namespace vantomer {

struct RedisAddress {
  std::string host;  // empty for a unix socket
  unsigned port = 6379;
  std::string socketPath;  // empty for TCP
  std::string user;        // empty: the default user
  std::string password;    // empty: no AUTH
  int32_t database = 0;

  // Host and port, or the socket path, with the database: for messages,
  // never with the password.
  std::string describe() const;
};

// Fills address from url; false with the reason when it is malformed.
[[nodiscard]] bool parseRedisUrl(std::string_view url, RedisAddress& address, std::string& reason);

}  // namespace vantomer
