#pragma once
// The per-connection state of one held response, built in host memory.

#include <string>

namespace vantomer {

struct RequestContext {
  std::string captured;
  bool passThrough = false;
  // Set when memory ran out while capturing: the rest is withheld and the
  // request ends in a 500 response.
  bool captureFailed = false;
};

}  // namespace vantomer
