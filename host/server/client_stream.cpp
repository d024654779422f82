#include "server/client_stream.h"

#include <openssl/err.h>
#include <openssl/ssl.h>

#include <boost/asio/ssl.hpp>
#include <boost/asio/steady_timer.hpp>
#include <boost/asio/write.hpp>
#include <boost/beast/core/tcp_stream.hpp>

#include "server/metrics.h"

namespace vantomer::host {
namespace {

namespace beast = boost::beast;
namespace ssl = asio::ssl;

// A read that times out is cancelled, not closed, so that the server can
// still answer on the connection (408 to a head that stopped half way), over
// TLS as well.
class TimedReads {
 public:
  explicit TimedReads(const asio::any_io_executor& executor) : timer_(executor) {}
  ~TimedReads() { *alive_ = false; }

  template <class Stream>
  awaitable<std::size_t> read(Stream& stream, tcp::socket& socket, asio::mutable_buffer buffer,
                              Duration timeout, error_code& ec) {
    expired_ = false;
    timer_.expires_after(timeout);
    timer_.async_wait([this, &socket, alive = alive_](const error_code& e) {
      if (e || !*alive) return;
      expired_ = true;
      error_code ignored;
      socket.cancel(ignored);
    });
    const std::size_t n = co_await stream.async_read_some(buffer, awaitWith(ec));
    timer_.cancel();
    if (expired_ && ec == asio::error::operation_aborted) {
      ec = beast::error::timeout;
      co_return 0;
    }
    co_return n;
  }

 private:
  asio::steady_timer timer_;
  std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
  bool expired_ = false;
};

class PlainStream : public ClientStream {
 public:
  explicit PlainStream(tcp::socket socket)
      : stream_(std::move(socket)), reads_(stream_.get_executor()) {}
  bool secure() const override { return false; }
  tcp::socket& socket() override { return stream_.socket(); }

  awaitable<void> handshake(Duration, error_code& ec) override {
    ec = {};
    co_return;
  }

  awaitable<std::size_t> readSome(asio::mutable_buffer buffer, Duration timeout,
                                  error_code& ec) override {
    stream_.expires_never();
    co_return co_await reads_.read(stream_.socket(), stream_.socket(), buffer, timeout, ec);
  }

  awaitable<void> write(std::string_view data, Duration timeout, error_code& ec) override {
    stream_.expires_after(timeout);
    co_await asio::async_write(stream_, asio::buffer(data.data(), data.size()), awaitWith(ec));
    metrics::bytesOut(ec ? 0 : data.size());
  }

  awaitable<void> shutdown(Duration) override {
    error_code ec;
    stream_.socket().shutdown(tcp::socket::shutdown_send, ec);
    co_return;
  }

  void close() override {
    error_code ec;
    stream_.socket().close(ec);
  }

 private:
  beast::tcp_stream stream_;
  TimedReads reads_;
};

class TlsStream : public ClientStream {
 public:
  TlsStream(tcp::socket socket, ssl::context& context)
      : stream_(beast::tcp_stream(std::move(socket)), context), reads_(stream_.get_executor()) {}
  bool secure() const override { return true; }
  tcp::socket& socket() override { return beast::get_lowest_layer(stream_).socket(); }

  awaitable<void> handshake(Duration timeout, error_code& ec) override {
    beast::get_lowest_layer(stream_).expires_after(timeout);
    co_await stream_.async_handshake(ssl::stream_base::server, awaitWith(ec));
  }

  awaitable<std::size_t> readSome(asio::mutable_buffer buffer, Duration timeout,
                                  error_code& ec) override {
    beast::get_lowest_layer(stream_).expires_never();
    co_return co_await reads_.read(stream_, socket(), buffer, timeout, ec);
  }

  awaitable<void> write(std::string_view data, Duration timeout, error_code& ec) override {
    beast::get_lowest_layer(stream_).expires_after(timeout);
    co_await asio::async_write(stream_, asio::buffer(data.data(), data.size()), awaitWith(ec));
    metrics::bytesOut(ec ? 0 : data.size());
  }

  awaitable<void> shutdown(Duration timeout) override {
    error_code ec;
    beast::get_lowest_layer(stream_).expires_after(timeout);
    co_await stream_.async_shutdown(awaitWith(ec));
  }

  void close() override {
    error_code ec;
    socket().close(ec);
  }

 private:
  ssl::stream<beast::tcp_stream> stream_;
  TimedReads reads_;
};

std::string sslError() {
  const unsigned long code = ERR_get_error();
  if (code == 0) return "unknown error";
  char text[256];
  ERR_error_string_n(code, text, sizeof text);
  return text;
}

}  // namespace

std::unique_ptr<ClientStream> makePlainStream(tcp::socket socket) {
  return std::make_unique<PlainStream>(std::move(socket));
}

std::unique_ptr<ClientStream> makeTlsStream(tcp::socket socket, ssl::context& context) {
  return std::make_unique<TlsStream>(std::move(socket), context);
}

std::shared_ptr<ssl::context> makeTlsContext(const std::string& certificateFile,
                                             const std::string& keyFile, std::string& error) {
  auto context = std::make_shared<ssl::context>(ssl::context::tls_server);
  context->set_options(ssl::context::default_workarounds | ssl::context::no_sslv2 |
                       ssl::context::no_sslv3 | ssl::context::no_tlsv1 | ssl::context::no_tlsv1_1 |
                       ssl::context::single_dh_use);
  SSL_CTX* native = context->native_handle();
  ERR_clear_error();
  if (SSL_CTX_use_certificate_chain_file(native, certificateFile.c_str()) != 1) {
    error = "cannot load the TLS certificate " + certificateFile + ": " + sslError();
    return nullptr;
  }
  if (SSL_CTX_use_PrivateKey_file(native, keyFile.c_str(), SSL_FILETYPE_PEM) != 1) {
    error = "cannot load the TLS key " + keyFile + ": " + sslError();
    return nullptr;
  }
  if (SSL_CTX_check_private_key(native) != 1) {
    error = "the TLS key " + keyFile + " does not belong to the certificate " + certificateFile;
    return nullptr;
  }
  return context;
}

}  // namespace vantomer::host
