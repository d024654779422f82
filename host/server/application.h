#pragma once
// What stands behind the server: a directory or an upstream server. Either
// answers a request with a response in its own framing, as raw bytes: the
// head first, then body blocks as they come.

#include <cstdint>
#include <memory>
#include <optional>
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

// The request body as the client sends it, chunked coding undone, one
// block at a time: a connection holds no more of it than the block.
class BodySource {
 public:
  virtual ~BodySource() = default;
  // Data blocks, then End; Broken or TimedOut when the client fails, which
  // the server answers itself once the application returns.
  virtual awaitable<BodyBlock> next() = 0;
  // All of the body has been handed out: the last Data block stays valid.
  virtual bool finished() const = 0;
  // The announced length; none for a chunked body.
  virtual std::optional<std::uint64_t> length() const = 0;
  // A next() that waits for the client returns Broken at once, without
  // failing the body: the application no longer wants the rest.
  virtual void interrupt() = 0;
};

class Application {
 public:
  virtual ~Application() = default;
  // The request as the filter left it. A response may come before the whole
  // body was read (the server then closes the connection after it).
  virtual awaitable<std::unique_ptr<ResponseSource>> respond(const RequestHead& request,
                                                             BodySource& body,
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
