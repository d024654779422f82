#pragma once
// A client connection, plain or TLS, with a timeout on every operation.

#include <memory>
#include <string>
#include <string_view>

#include "server/asio_common.h"

namespace boost::asio::ssl {
class context;
}

namespace vantomer::host {

class ClientStream {
 public:
  virtual ~ClientStream() = default;
  virtual bool secure() const = 0;
  virtual tcp::socket& socket() = 0;
  virtual awaitable<void> handshake(Duration timeout, error_code& ec) = 0;
  virtual awaitable<std::size_t> readSome(asio::mutable_buffer buffer, Duration timeout,
                                          error_code& ec) = 0;
  virtual awaitable<void> write(std::string_view data, Duration timeout, error_code& ec) = 0;
  // Ends the sending side (TLS: close_notify); the peer may still send.
  virtual awaitable<void> shutdown(Duration timeout) = 0;
  // Closes at once; pending operations end with an error.
  virtual void close() = 0;
};

std::unique_ptr<ClientStream> makePlainStream(tcp::socket socket);
std::unique_ptr<ClientStream> makeTlsStream(tcp::socket socket, asio::ssl::context& context);

// Null with a message when the certificate or key does not load.
std::shared_ptr<asio::ssl::context> makeTlsContext(const std::string& certificateFile,
                                                   const std::string& keyFile, std::string& error);

}  // namespace vantomer::host
