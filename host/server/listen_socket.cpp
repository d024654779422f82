#include "server/listen_socket.h"

namespace vantomer::host {

std::unique_ptr<tcp::acceptor> listenOn(asio::io_context& io, const std::string& host,
                                        unsigned port, const std::string& purpose,
                                        tcp::endpoint& endpoint, std::string& error) {
  error_code ec;
  tcp::resolver resolver(io);
  auto results = resolver.resolve(host, std::to_string(port), ec);
  if (ec || results.empty()) {
    error = "cannot resolve " + host + ": " + ec.message();
    return nullptr;
  }
  endpoint = results.begin()->endpoint();
  auto acceptor = std::make_unique<tcp::acceptor>(io);
  acceptor->open(endpoint.protocol(), ec);
  if (!ec) acceptor->set_option(asio::socket_base::reuse_address(true), ec);
  if (!ec) acceptor->bind(endpoint, ec);
  if (!ec) acceptor->listen(asio::socket_base::max_listen_connections, ec);
  if (ec) {
    error = "cannot listen on " + host + ":" + std::to_string(port) + purpose + ": " + ec.message();
    return nullptr;
  }
  return acceptor;
}

}  // namespace vantomer::host
