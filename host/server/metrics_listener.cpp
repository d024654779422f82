#include "server/metrics_listener.h"

#include <boost/asio/io_context.hpp>
#include <boost/asio/steady_timer.hpp>
#include <boost/beast/core/flat_buffer.hpp>
#include <boost/beast/core/tcp_stream.hpp>
#include <boost/beast/http/read.hpp>
#include <boost/beast/http/string_body.hpp>
#include <boost/beast/http/write.hpp>
#include <memory>

#include "server/listen_socket.h"
#include "server/metrics.h"

namespace vantomer::host {
namespace {

namespace beast = boost::beast;
namespace http = beast::http;

constexpr std::chrono::seconds kTimeout{10};

http::response<http::string_body> answer(const http::request<http::string_body>& request) {
  const std::string_view target = request.target();
  const bool found =
      request.method() == http::verb::get && target.substr(0, target.find('?')) == "/metrics";
  http::response<http::string_body> response{found ? http::status::ok : http::status::not_found,
                                             request.version()};
  response.set(http::field::server, "vantomer");
  response.set(http::field::content_type,
               found ? "text/plain; version=0.0.4; charset=utf-8" : "text/plain; charset=utf-8");
  response.body() = found ? metrics::render() : "404 Not Found\n";
  response.keep_alive(request.keep_alive());
  response.prepare_payload();
  return response;
}

awaitable<void> serve(tcp::socket socket) {
  beast::tcp_stream stream(std::move(socket));
  beast::flat_buffer buffer(8 * 1024);
  for (;;) {
    error_code ec;
    http::request_parser<http::string_body> parser;
    parser.header_limit(8 * 1024);
    parser.body_limit(8 * 1024);
    stream.expires_after(kTimeout);
    co_await http::async_read(stream, buffer, parser, awaitWith(ec));
    if (ec) break;
    http::response<http::string_body> response = answer(parser.get());
    stream.expires_after(kTimeout);
    co_await http::async_write(stream, response, awaitWith(ec));
    if (ec || !response.keep_alive()) break;
  }
  error_code ignored;
  stream.socket().shutdown(tcp::socket::shutdown_both, ignored);
}

awaitable<void> accept(std::unique_ptr<tcp::acceptor> acceptor) {
  for (;;) {
    error_code ec;
    tcp::socket socket = co_await acceptor->async_accept(awaitWith(ec));
    if (ec == asio::error::operation_aborted || ec == asio::error::bad_descriptor) co_return;
    if (ec) {
      asio::steady_timer pause(acceptor->get_executor(), std::chrono::milliseconds(50));
      co_await pause.async_wait(awaitWith(ec));
      continue;
    }
    asio::co_spawn(acceptor->get_executor(), serve(std::move(socket)), asio::detached);
  }
}

}  // namespace

bool startMetricsListener(asio::io_context& io, const std::string& host, unsigned port,
                          std::string& error) {
  tcp::endpoint endpoint;
  auto acceptor = listenOn(io, host, port, " for metrics", endpoint, error);
  if (!acceptor) return false;
  metrics::enable(VANTOMER_VERSION);
  asio::co_spawn(io, accept(std::move(acceptor)), asio::detached);
  return true;
}

}  // namespace vantomer::host
