#pragma once
// The upstream application: a reverse proxy to one HTTP server.

#include <cstddef>
#include <memory>
#include <string>

#include "server/application.h"

namespace vantomer::host {

struct UpstreamOptions {
  std::string host;
  unsigned port = 80;
  Duration timeout{30000};
  std::size_t maxIdle = 32;
};

std::unique_ptr<Application> makeProxyApplication(UpstreamOptions options);

}  // namespace vantomer::host
