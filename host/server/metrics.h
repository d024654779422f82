#pragma once
// The server's counters for `vantomer serve --metrics-listen`. Every call is
// a no-op until enable(); once on, each costs an atomic add or two: the
// label children are looked up once, at enable(). The Prometheus library
// stays behind metrics.cpp.

#include <chrono>
#include <cstddef>
#include <string>
#include <string_view>

#include "binding/message_head.h"

namespace vantomer::host::metrics {

// Turns the counters on; call before the first connection.
void enable(std::string_view version);
bool enabled();
// Everything in the Prometheus text format (empty while off).
std::string render();

void bytesIn(std::size_t n);
void bytesOut(std::size_t n);
void connectionOpened();
void connectionClosed();
void upstreamConnectFailed();
void upstreamTimedOut();
void reloaded(bool ok);

// One request from its complete head to its last response byte. Lives in
// the connection's per-request state.
class RequestMeter {
 public:
  // The head is complete.
  void start(std::string_view method);
  // The filter held the response that the application gave it.
  void hold(const ResponseHead& in);
  // The request is over: status 0 when no response reached the client; out
  // is the response head the client got, if any. Counts once.
  void done(int status, const ResponseHead* out);

 private:
  using Clock = std::chrono::steady_clock;
  Clock::time_point start_{};
  int method_ = -1;  // index into the method labels; -1: no head
  bool held_ = false;
  bool counted_ = false;
  int heldStatus_ = 0;
  std::string typeIn_;
};

// The media type alone, lower case, as a bounded label value: "other" for
// anything that is not type/subtype in token characters.
std::string mediaTypeLabel(std::string_view contentType);

}  // namespace vantomer::host::metrics
