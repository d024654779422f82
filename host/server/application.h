#pragma once
// What stands behind the server: a directory or an upstream server. Either
// answers a request with a response in its own framing, as raw bytes: the
// head first, then body blocks as they come.

#include <memory>
#include <string>
#include <string_view>

#include "binding/connection_info.h"
#include "binding/message_head.h"
#include "server/asio_common.h"

namespace vantomer::host {

struct BodyBlock {
  enum Kind { Data, End, Broken, TimedOut };
  Kind kind = End;
  std::string_view data;  // valid until the next call
};

class ResponseSource {
 public:
  virtual ~ResponseSource() = default;
  ResponseHead head;
  virtual awaitable<BodyBlock> next() = 0;
  // The next block comes without waiting (a file, memory), so what is
  // queued before it need not be sent first.
  virtual bool immediate() const { return false; }
};

class Application {
 public:
  virtual ~Application() = default;
  // The request as the filter left it; body is the decoded request body.
  virtual awaitable<std::unique_ptr<ResponseSource>> respond(const RequestHead& request,
                                                             std::string& body,
                                                             const ConnectionInfo& client) = 0;
  // False when no request body is ever used: the server then answers
  // without reading one, and closes the connection.
  virtual bool takesBodies() const { return true; }
  // True when a HEAD request may run as GET with the body left out: the only
  // way the filter's Content-Length for a converted page can be known.
  virtual bool headAsGet() const { return false; }
  // Drops what the application keeps between requests (idle connections).
  virtual void close() {}
};

}  // namespace vantomer::host
