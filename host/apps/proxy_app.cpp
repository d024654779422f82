// A reverse proxy with pooled keep-alive connections that hands on the
// upstream's response bytes unchanged.

#include "apps/proxy_app.h"

#include <sys/socket.h>
#include <unistd.h>

#include <array>
#include <boost/asio/write.hpp>
#include <boost/beast/core/error.hpp>
#include <boost/beast/core/tcp_stream.hpp>
#include <cstdio>
#include <deque>
#include <iostream>
#include <memory>
#include <mutex>

#include "binding/response_framer.h"
#include "server/memory_response.h"
#include "server/metrics.h"

namespace vantomer::host {
namespace {

namespace beast = boost::beast;
using Clock = std::chrono::steady_clock;

constexpr std::size_t kReadBlock = 64 * 1024;
constexpr auto kMaxPoolIdle = std::chrono::seconds(30);

bool idempotent(std::string_view method) {
  return method == "GET" || method == "HEAD" || method == "OPTIONS" || method == "PUT" ||
         method == "DELETE" || method == "TRACE";
}

void logUpstream(const std::string& what) { std::cerr << "vantomer: upstream: " + what + "\n"; }

std::string_view trimOws(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

// The head as the filter and the client get it: lines end in CR LF, and the
// only framing is the one the body will carry (this side undoes the chunked
// coding; any other coding is refused). False with the reason otherwise.
bool settleHead(ResponseHead& head, std::string& error) {
  bool rebuild = false;
  for (std::size_t i = head.raw.find('\n'); i != std::string::npos; i = head.raw.find('\n', i + 1))
    if (i == 0 || head.raw[i - 1] != '\r') rebuild = true;
  int codings = 0;
  for (const Header& h : head.headers) {
    if (!iequalsAscii(h.name, "Transfer-Encoding")) continue;
    ++codings;
    if (!iequalsAscii(trimOws(h.value), "chunked")) {
      error = "transfer coding other than chunked";
      return false;
    }
    if (h.value != "chunked") rebuild = true;
  }
  if (codings > 1) {
    error = "more than one Transfer-Encoding";
    return false;
  }
  if (codings && findHeader(head.headers, "Content-Length")) {
    removeHeaders(head.headers, "Content-Length");
    rebuild = true;
  }
  if (rebuild) {
    for (Header& h : head.headers)
      if (iequalsAscii(h.name, "Transfer-Encoding")) h.value = "chunked";
    head.format();
  }
  return true;
}

// Fields the request needs end to end: a Connection header that names them
// does not take them away.
bool endToEnd(std::string_view name) {
  for (std::string_view n : {"Host", "Cookie", "User-Agent", "Content-Type", "Content-Length",
                             "Authorization", "X-Cookie-Stock-Key"})
    if (iequalsAscii(name, n)) return true;
  return false;
}

class Pool {
 public:
  explicit Pool(std::size_t max) : max_(max) {}

  // An idle connection, moved onto the caller's executor: a stream is used
  // only by the thread that runs its executor (its timer fires there too).
  std::unique_ptr<beast::tcp_stream> take(const asio::any_io_executor& executor) {
    std::unique_ptr<beast::tcp_stream> stream;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      while (!idle_.empty() && !stream) {
        Idle entry = std::move(idle_.back());
        idle_.pop_back();
        if (Clock::now() - entry.since < kMaxPoolIdle && alive(*entry.stream))
          stream = std::move(entry.stream);
      }
    }
    if (!stream || stream->get_executor() == executor) return stream;
    // Idle, it has no operation pending: its descriptor can change hands.
    error_code ec;
    const tcp::endpoint local = stream->socket().local_endpoint(ec);
    if (ec) return nullptr;
    const auto fd = stream->socket().release(ec);
    if (ec) return nullptr;
    auto moved = std::make_unique<beast::tcp_stream>(executor);
    moved->socket().assign(local.protocol(), fd, ec);
    if (ec) {
      ::close(fd);
      return nullptr;
    }
    return moved;
  }

  void clear() {
    std::lock_guard<std::mutex> lock(mutex_);
    idle_.clear();
    closed_ = true;
  }

  void give(std::unique_ptr<beast::tcp_stream> stream) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (closed_) return;
    if (idle_.size() >= max_) idle_.pop_front();
    idle_.push_back({std::move(stream), Clock::now()});
  }

 private:
  struct Idle {
    std::unique_ptr<beast::tcp_stream> stream;
    Clock::time_point since;
  };

  // An idle connection that the upstream closed, or that carries bytes
  // nobody asked for, must not take a request.
  static bool alive(beast::tcp_stream& stream) {
    char byte;
    const ssize_t n = ::recv(stream.socket().native_handle(), &byte, 1, MSG_PEEK | MSG_DONTWAIT);
    return n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK);
  }

  std::mutex mutex_;
  std::deque<Idle> idle_;
  std::size_t max_;
  bool closed_ = false;
};

class ProxySource : public ResponseSource {
 public:
  ProxySource(std::unique_ptr<beast::tcp_stream> stream, ResponseFramer framer,
              ResponseHead settled, std::string leftover, Pool& pool, Duration timeout,
              bool reusable)
      : stream_(std::move(stream)),
        framer_(std::move(framer)),
        leftover_(std::move(leftover)),
        pool_(pool),
        timeout_(timeout),
        excess_(!reusable) {
    head = std::move(settled);
    release();
  }

  ~ProxySource() override { release(); }

  // Bytes already read, or the end, need no wait for the upstream.
  bool immediate() const override { return framer_.done() || !leftover_.empty(); }

  awaitable<BodyBlock> next() override {
    if (framer_.done()) co_return BodyBlock{BodyBlock::End, {}};
    if (leftover_.empty()) {
      if (!buffer_) buffer_ = std::make_unique_for_overwrite<char[]>(kReadBlock);
      error_code ec;
      stream_->expires_after(timeout_);
      const std::size_t n =
          co_await stream_->async_read_some(asio::buffer(buffer_.get(), kReadBlock), awaitWith(ec));
      if (ec == asio::error::eof) {
        framer_.closed();
        if (framer_.done()) co_return BodyBlock{BodyBlock::End, {}};
        logUpstream("closed in the middle of a response");
        co_return BodyBlock{BodyBlock::Broken, {}};
      }
      if (ec) {
        if (ec == beast::error::timeout) metrics::upstreamTimedOut();
        logUpstream(ec == beast::error::timeout ? std::string("response body timed out")
                                                : "response body broke off: " + ec.message());
        co_return BodyBlock{ec == beast::error::timeout ? BodyBlock::TimedOut : BodyBlock::Broken,
                            {}};
      }
      leftover_.assign(buffer_.get(), n);
    }
    const std::size_t used = framer_.feed(leftover_);
    if (framer_.failed()) {
      logUpstream("malformed response body: " + framer_.error());
      co_return BodyBlock{BodyBlock::Broken, {}};
    }
    current_.assign(leftover_, 0, used);
    leftover_.erase(0, used);
    if (framer_.done() && !leftover_.empty()) {
      excess_ = true;  // more than the message: the connection cannot be trusted
      leftover_.clear();
    }
    release();
    co_return BodyBlock{BodyBlock::Data, current_};
  }

 private:
  // The upstream connection goes back to the pool as soon as its message is
  // complete, before the client has the last block, so that the client's
  // next request finds it there.
  void release() {
    if (stream_ && framer_.done() && framer_.reusable() && leftover_.empty() && !excess_)
      pool_.give(std::move(stream_));
  }

  std::unique_ptr<beast::tcp_stream> stream_;
  ResponseFramer framer_;
  std::string leftover_;
  std::string current_;
  std::unique_ptr<char[]> buffer_;  // uninitialised: zeroing it cost more than the read
  Pool& pool_;
  Duration timeout_;
  bool excess_ = false;  // or the request was not sent whole
};

class ProxyApplication : public Application {
 public:
  explicit ProxyApplication(UpstreamOptions options)
      : options_(std::move(options)), pool_(options_.maxIdle) {}

  awaitable<std::unique_ptr<ResponseSource>> respond(const RequestHead& request, BodySource& body,
                                                     const ConnectionInfo& client) override {
    // The first block comes before the upstream hears of the request: a body
    // that it holds whole goes out with its length, in one write with the
    // head, and can be sent again on a fresh connection.
    BodyBlock first{BodyBlock::End, {}};
    if (!body.finished()) first = co_await body.next();
    if (first.kind != BodyBlock::Data && first.kind != BodyBlock::End) co_return nullptr;
    const bool whole = body.finished();
    const std::optional<std::uint64_t> length =
        whole ? std::optional<std::uint64_t>(first.data.size()) : body.length();
    const std::string message = format(request, length, client);
    const std::string frame = length ? std::string() : chunkHeader(first.data.size());
    const std::string_view frameEnd = length ? "" : "\r\n";
    const asio::any_io_executor executor = co_await asio::this_coro::executor;
    for (int attempt = 0;; ++attempt) {
      bool reused = true;
      std::unique_ptr<beast::tcp_stream> stream = pool_.take(executor);
      if (!stream) {
        reused = false;
        error_code ec;
        tcp::resolver resolver(executor);
        auto endpoints = co_await resolver.async_resolve(
            options_.host, std::to_string(options_.port), awaitWith(ec));
        if (ec) {
          logUpstream("cannot resolve " + options_.host + ": " + ec.message());
          metrics::upstreamConnectFailed();
          co_return textResponse(request, 502, "502 Bad Gateway\n");
        }
        stream = std::make_unique<beast::tcp_stream>(executor);
        stream->expires_after(options_.timeout);
        co_await stream->async_connect(endpoints, awaitWith(ec));
        if (ec == beast::error::timeout) {
          logUpstream("connecting to " + where() + " timed out");
          metrics::upstreamTimedOut();
          co_return textResponse(request, 504, "504 Gateway Timeout\n");
        }
        if (ec) {
          logUpstream("cannot connect to " + where() + ": " + ec.message());
          metrics::upstreamConnectFailed();
          co_return textResponse(request, 502, "502 Bad Gateway\n");
        }
        stream->socket().set_option(tcp::no_delay(true), ec);
      }

      error_code ec;
      stream->expires_after(options_.timeout);
      const std::array<asio::const_buffer, 4> parts{
          asio::buffer(message), asio::buffer(frame),
          asio::buffer(first.data.data(), first.data.size()),
          asio::buffer(frameEnd.data(), first.data.empty() ? 0 : frameEnd.size())};
      co_await asio::async_write(*stream, parts, awaitWith(ec));
      const bool retry = reused && attempt == 0 && idempotent(request.method) && whole;
      if (ec) {
        if (retry) continue;
        if (ec == beast::error::timeout) metrics::upstreamTimedOut();
        if (ec == beast::error::timeout)
          co_return textResponse(request, 504, "504 Gateway Timeout\n");
        logUpstream("sending the request failed: " + ec.message());
        co_return textResponse(request, 502, "502 Bad Gateway\n");
      }
      bool reusable = true;
      if (!whole) {
        const Sent sent = co_await sendRest(*stream, body, !length, ec);
        if (sent == Sent::ClientFailed) co_return nullptr;
        if (sent == Sent::Failed) {
          if (ec == beast::error::timeout)
            co_return textResponse(request, 504, "504 Gateway Timeout\n");
          logUpstream("sending the request body failed: " + ec.message());
          co_return textResponse(request, 502, "502 Bad Gateway\n");
        }
        reusable = sent == Sent::All;
      }

      // The whole head must arrive within the timeout.
      const auto deadline = Clock::now() + options_.timeout;
      ResponseFramer framer(request.method == "HEAD");
      const auto buffer = std::make_unique_for_overwrite<char[]>(kReadBlock);
      std::size_t received = 0;
      bool again = false;
      while (!framer.headDone()) {
        const auto left = std::chrono::duration_cast<Duration>(deadline - Clock::now());
        stream->expires_after(left > Duration(0) ? left : Duration(1));
        const std::size_t n =
            co_await stream->async_read_some(asio::buffer(buffer.get(), kReadBlock), awaitWith(ec));
        if (ec == beast::error::timeout) {
          logUpstream("no response from " + where() + " in time");
          metrics::upstreamTimedOut();
          co_return textResponse(request, 504, "504 Gateway Timeout\n");
        }
        if (ec) {
          if (retry && received == 0) {
            again = true;
            break;
          }
          logUpstream(received ? "the response head broke off: " + ec.message()
                               : "no response: " + ec.message());
          co_return textResponse(request, 502, "502 Bad Gateway\n");
        }
        received += n;
        const std::size_t used = framer.feed(std::string_view(buffer.get(), n));
        if (framer.failed()) {
          logUpstream("malformed response: " + framer.error());
          co_return textResponse(request, 502, "502 Bad Gateway\n");
        }
        if (framer.headDone()) {
          ResponseHead head = framer.head();
          std::string error;
          // The length a converted page would have is not known here.
          if (request.method == "HEAD" &&
              findHeader(head.headers, "Content-Type").value_or("").starts_with("text/x-telmark")) {
            removeHeaders(head.headers, "Content-Length");
            head.format();
          }
          if (!settleHead(head, error)) {
            logUpstream("malformed response: " + error);
            co_return textResponse(request, 502, "502 Bad Gateway\n");
          }
          std::string leftover(buffer.get() + used, n - used);
          co_return std::make_unique<ProxySource>(std::move(stream), std::move(framer),
                                                  std::move(head), std::move(leftover), pool_,
                                                  options_.timeout, reusable);
        }
      }
      if (!again) co_return textResponse(request, 502, "502 Bad Gateway\n");
    }
  }

 private:
  void close() override { pool_.clear(); }

  std::string where() const { return options_.host + ":" + std::to_string(options_.port); }

  enum class Sent { All, Answered, Failed, ClientFailed };

  // The rest of the body, each block as the client sends it. The upstream
  // may answer before it has all of it (413, say): the rest is then not
  // sent, and the connection is not used again.
  awaitable<Sent> sendRest(beast::tcp_stream& stream, BodySource& body, bool chunked,
                           error_code& ec) {
    struct Watch {
      beast::tcp_stream* stream;
      BodySource* body;
      bool answered = false;
      bool writing = false;
    };
    // Neither a write that the upstream no longer reads nor a client that
    // waits for the answer may hold the answer back until a timeout.
    auto watch = std::make_shared<Watch>(Watch{&stream, &body});
    stream.socket().async_wait(tcp::socket::wait_read, [watch](const error_code& e) {
      if (e || !watch->stream) return;
      watch->answered = true;
      error_code ignored;
      if (watch->writing)
        watch->stream->socket().cancel(ignored);
      else
        watch->body->interrupt();
    });
    struct Unwatch {
      Watch& watch;
      ~Unwatch() {
        error_code ignored;
        if (watch.stream) watch.stream->socket().cancel(ignored);
        watch.stream = nullptr;
      }
    } unwatch{*watch};
    for (;;) {
      const BodyBlock block = co_await body.next();
      if (watch->answered) co_return Sent::Answered;
      if (block.kind != BodyBlock::Data && block.kind != BodyBlock::End)
        co_return Sent::ClientFailed;
      if (block.kind == BodyBlock::End && !chunked) co_return Sent::All;
      const std::string frame = block.kind == BodyBlock::End ? "0\r\n\r\n"
                                : chunked                    ? chunkHeader(block.data.size())
                                                             : "";
      const std::string_view frameEnd = chunked && block.kind == BodyBlock::Data ? "\r\n" : "";
      const std::array<asio::const_buffer, 3> parts{
          asio::buffer(frame), asio::buffer(block.data.data(), block.data.size()),
          asio::buffer(frameEnd.data(), frameEnd.size())};
      watch->writing = true;
      stream.expires_after(options_.timeout);
      co_await asio::async_write(stream, parts, awaitWith(ec));
      watch->writing = false;
      if (watch->answered) co_return Sent::Answered;
      if (ec) co_return Sent::Failed;
      if (block.kind == BodyBlock::End) co_return Sent::All;
    }
  }

  static std::string chunkHeader(std::size_t size) {
    char text[32];
    const int n = std::snprintf(text, sizeof text, "%zx\r\n", size);
    return std::string(text, static_cast<std::size_t>(n));
  }

  // The head; the body follows with the length given, or chunked without one.
  std::string format(const RequestHead& request, std::optional<std::uint64_t> length,
                     const ConnectionInfo& client) const {
    Headers headers = request.headers;
    // Hop-by-hop fields, and those the client named as such, stay here.
    std::vector<std::string> named;
    for (const Header& h : headers) {
      if (!iequalsAscii(h.name, "Connection")) continue;
      std::string_view list = h.value;
      while (!list.empty()) {
        const std::size_t comma = list.find(',');
        std::string_view token = list.substr(0, comma);
        while (!token.empty() && token.front() == ' ') token.remove_prefix(1);
        while (!token.empty() && token.back() == ' ') token.remove_suffix(1);
        if (!token.empty()) named.emplace_back(token);
        if (comma == std::string_view::npos) break;
        list.remove_prefix(comma + 1);
      }
    }
    for (const std::string& n : named)
      if (!endToEnd(n)) removeHeaders(headers, n);
    // Such names never came from the client (the server drops them): the
    // filter may add one, empty, when it clears a stock key the client sent.
    std::erase_if(headers, [](const Header& h) { return h.name.find('_') != std::string::npos; });
    for (const char* n :
         {"Connection", "Keep-Alive", "Proxy-Connection", "TE", "Trailer", "Transfer-Encoding",
          "Upgrade", "Expect", "Content-Length", "Proxy-Authorization", "Accept-Encoding",
          "X-Forwarded-Proto", "X-Forwarded-Host"})
      removeHeaders(headers, n);

    std::optional<std::string> host = findHeader(request.headers, "Host");
    if (!host) headers.push_back({"Host", where()});
    std::optional<std::string> forwardedFor = findHeader(headers, "X-Forwarded-For");
    removeHeaders(headers, "X-Forwarded-For");
    headers.push_back({"X-Forwarded-For", forwardedFor ? *forwardedFor + ", " + client.remoteAddress
                                                       : client.remoteAddress});
    headers.push_back({"X-Forwarded-Proto", client.secure ? "https" : "http"});
    if (host) headers.push_back({"X-Forwarded-Host", *host});
    // Held documents are parsed as they come: no compression.
    headers.push_back({"Accept-Encoding", "identity"});
    if (!length)
      headers.push_back({"Transfer-Encoding", "chunked"});
    else if (*length > 0 || request.method == "POST" || request.method == "PUT" ||
             request.method == "PATCH")
      headers.push_back({"Content-Length", std::to_string(*length)});

    std::string out = request.method + " " + request.url + " HTTP/1.1\r\n";
    for (const Header& h : headers) out += h.name + ": " + h.value + "\r\n";
    out += "\r\n";
    return out;
  }

  UpstreamOptions options_;
  Pool pool_;
};

}  // namespace

std::unique_ptr<Application> makeProxyApplication(UpstreamOptions options) {
  return std::make_unique<ProxyApplication>(std::move(options));
}

}  // namespace vantomer::host
