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
  // The response was sent before the end of the request (the held bytes
  // outgrew their bound); whatever follows is withheld.
  bool responded = false;
};

}  // namespace vantomer
