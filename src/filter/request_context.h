#pragma once
// The per-connection state of one held response, built in host memory.

#include <string>

namespace vantomer {

struct RequestContext {
  std::string captured;
  bool passThrough = false;
};

}  // namespace vantomer
