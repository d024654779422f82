#pragma once
// What a host knows of one client connection before any request.

#include <string>

namespace vantomer::host {

struct ConnectionInfo {
  bool secure = false;
  std::string localAddress;
  unsigned localPort = 0;
  std::string remoteAddress;
  unsigned remotePort = 0;
  std::string serverSoftware;  // SERVER_SOFTWARE; empty: none
};

}  // namespace vantomer::host
