#include "server/connection.h"

#include <boost/asio/steady_timer.hpp>
#include <boost/asio/this_coro.hpp>
#include <boost/beast/core/error.hpp>
#include <boost/beast/http/buffer_body.hpp>
#include <boost/beast/http/error.hpp>
#include <boost/beast/http/parser.hpp>
#include <cstring>
#include <iostream>

#include "binding/response_framer.h"
#include "server/memory_response.h"
#include "server/metrics.h"
#include "server/request_intake.h"
#include "server/simple_response.h"

namespace vantomer::host {
namespace {

namespace beast = boost::beast;
namespace http = beast::http;
using Clock = std::chrono::steady_clock;

constexpr std::size_t kReadBlock = 16 * 1024;
// What one connection holds of a request body at a time.
constexpr std::size_t kBodyBlock = 64 * 1024;
constexpr std::size_t kFlushSize = 64 * 1024;
constexpr std::size_t kDrainLimit = 256 * 1024;
constexpr Duration kDrainTime{1000};
constexpr std::uint64_t kOffThreadHeld = 16 * 1024;

}  // namespace

// The body of the request being served, read from the client as the
// application asks for it.
struct Connection::RequestBody : BodySource {
  explicit RequestBody(Connection& c) : connection(c) {}

  awaitable<BodyBlock> next() override;
  bool finished() const override { return unread || parser.is_done(); }
  std::optional<std::uint64_t> length() const override {
    if (unread) return 0;
    if (parser.chunked()) return std::nullopt;
    return parser.content_length().value_or(0);
  }

  void interrupt() override {
    if (!reading) return;
    interrupted = true;
    error_code ignored;
    connection.stream_->socket().cancel(ignored);
  }

  BodyBlock fail(int answer, BodyBlock::Kind kind) {
    failure = kind;
    status = answer;
    return {kind, {}};
  }

  Connection& connection;
  http::request_parser<http::buffer_body> parser;
  Clock::time_point deadline;
  bool unread = false;  // the application takes no bodies: left unread
  bool continueSent = false;
  bool reading = false;
  bool interrupted = false;
  BodyBlock::Kind failure = BodyBlock::End;
  int status = 0;                      // the answer to a failed body; 0: the client is gone
  std::size_t blockSize = kBodyBlock;  // no larger than the body
  std::unique_ptr<char[]> block;
};

awaitable<BodyBlock> Connection::RequestBody::next() {
  if (failure != BodyBlock::End) co_return BodyBlock{failure, {}};
  if (finished()) co_return BodyBlock{BodyBlock::End, {}};
  if (!block) block = std::make_unique_for_overwrite<char[]>(blockSize);
  Connection& c = connection;
  const ServerLimits& limits = c.shared_.limits;
  std::size_t produced = 0;
  for (;;) {
    if (c.inputStart_ < c.inputEnd_ && produced < blockSize && !parser.is_done()) {
      auto& body = parser.get().body();
      body.data = block.get() + produced;
      body.size = blockSize - produced;
      error_code ec;
      const std::size_t n = parser.put(
          asio::buffer(c.input_.data() + c.inputStart_, c.inputEnd_ - c.inputStart_), ec);
      c.inputStart_ += n;
      produced = blockSize - body.size;
      if (ec == http::error::need_buffer) ec = {};
      if (ec && ec != http::error::need_more)
        co_return fail(statusForParseError(ec), BodyBlock::Broken);
      if (!ec && n > 0) continue;
    }
    // What is at hand goes on at once: the application streams it.
    if (produced > 0) co_return BodyBlock{BodyBlock::Data, {block.get(), produced}};
    if (parser.is_done()) co_return BodyBlock{BodyBlock::End, {}};
    if (!continueSent) {
      continueSent = true;
      const auto& message = parser.get();
      auto expect = message.find(http::field::expect);
      if (expect != message.end() && iequalsAscii(expect->value(), "100-continue") &&
          message.version() == 11) {
        error_code ec;
        co_await c.stream_->write("HTTP/1.1 100 Continue\r\n\r\n", limits.readTimeout, ec);
        if (ec) co_return fail(0, BodyBlock::Broken);
      }
    }
    // The read timeout for each read and the body timeout for all of it, so
    // that a trickle cannot hold the connection.
    const auto left = std::chrono::duration_cast<Duration>(deadline - Clock::now());
    if (left <= Duration(0)) co_return fail(408, BodyBlock::TimedOut);
    error_code ec;
    reading = true;
    co_await c.readMore(std::min(left, limits.readTimeout), ec);
    reading = false;
    if (std::exchange(interrupted, false)) co_return BodyBlock{BodyBlock::Broken, {}};
    if (ec == beast::error::timeout) co_return fail(408, BodyBlock::TimedOut);
    if (ec) co_return fail(0, BodyBlock::Broken);
  }
}

struct Connection::Exchange {
  ResponseFramer tracker;  // the response as the client gets it
  bool excess = false;
  bool last = false;       // the connection closes after this response
  std::uint64_t held = 0;  // body bytes given to the filter before any went out
  std::uint64_t queued = 0;
  AccessRecord record;
  metrics::RequestMeter meter;
};

Connection::Connection(ServerShared& shared, std::unique_ptr<ClientStream> stream)
    : shared_(shared), stream_(std::move(stream)) {}

Connection::~Connection() = default;

ConnectionInfo Connection::describe() {
  ConnectionInfo info;
  info.secure = stream_->secure();
  info.serverSoftware = "vantomer/" VANTOMER_VERSION;
  error_code ec;
  const tcp::endpoint local = stream_->socket().local_endpoint(ec);
  if (!ec) {
    info.localAddress = local.address().to_string();
    info.localPort = local.port();
  }
  const tcp::endpoint remote = stream_->socket().remote_endpoint(ec);
  if (!ec) {
    info.remoteAddress = remote.address().to_string();
    info.remotePort = remote.port();
  }
  return info;
}

void Connection::stopIfIdle() {
  if (idle_) stream_->close();
}

void Connection::close() { stream_->close(); }

awaitable<void> Connection::run() {
  const ConnectionInfo info = describe();
  if (stream_->secure()) {
    error_code ec;
    co_await stream_->handshake(shared_.limits.readTimeout, ec);
    if (ec) {
      stream_->close();
      co_return;
    }
  }
  {
    FilterConnection filter(shared_.module, info,
                            [this](std::string_view bytes) { return queue(bytes); });
    while (co_await serveRequest(filter, info)) {
    }
  }
  co_await finish();
}

awaitable<std::size_t> Connection::readMore(Duration timeout, error_code& ec) {
  if (inputStart_ > 0) {
    std::memmove(input_.data(), input_.data() + inputStart_, inputEnd_ - inputStart_);
    inputEnd_ -= inputStart_;
    inputStart_ = 0;
  }
  // The buffer only grows: filling a fresh block with zeros for every read
  // cost more than the read.
  if (input_.size() < inputEnd_ + kReadBlock) input_.resize(inputEnd_ + kReadBlock);
  const std::size_t n =
      co_await stream_->readSome(asio::buffer(input_.data() + inputEnd_, kReadBlock), timeout, ec);
  if (!ec) inputEnd_ += n;
  metrics::bytesIn(ec ? 0 : n);
  co_return ec ? 0 : n;
}

bool Connection::queue(std::string_view bytes) {
  if (clientGone_) return false;
  if (!exchange_) return true;  // no request: nowhere to send it
  Exchange& x = *exchange_;
  std::string_view rest = bytes;
  while (!rest.empty() && !x.tracker.done() && !x.tracker.failed())
    rest.remove_prefix(x.tracker.feed(rest));
  std::string_view keep = bytes;
  if (!rest.empty() && x.tracker.done()) {
    // Responses to HEAD, 204 and 304 have no body, whatever the filter
    // wrote; anything else beyond the message leaves the connection unframed.
    if (x.tracker.body() == ResponseFramer::Body::None)
      keep = bytes.substr(0, bytes.size() - rest.size());
    else
      x.excess = true;
  }
  output_.append(keep);
  x.queued += keep.size();
  return true;
}

awaitable<bool> Connection::flush() {
  while (!output_.empty() && !clientGone_) {
    // The filter may queue more while this write waits; the two buffers
    // trade places so that neither is allocated again.
    sending_.swap(output_);
    error_code ec;
    co_await stream_->write(sending_, shared_.limits.readTimeout, ec);
    sending_.clear();
    if (ec) clientGone_ = true;
  }
  output_.clear();
  co_return !clientGone_;
}

awaitable<void> Connection::reject(int status, Exchange& exchange) {
  const std::string body = std::to_string(status) + " " + std::string(reasonPhrase(status)) + "\n";
  error_code ec;
  co_await stream_->write(simpleResponse(status, reasonPhrase(status), body, {}, true),
                          shared_.limits.readTimeout, ec);
  exchange.record.status = status;
  exchange.record.bodyBytes = body.size();
  shared_.log.write(exchange.record);
  exchange.meter.done(status, nullptr);
}

awaitable<void> Connection::finish() {
  // Reading what the client still sends keeps a reset from destroying the
  // last response before the client has read it.
  co_await stream_->shutdown(Duration(500));
  if (!stream_->secure()) {
    const auto deadline = Clock::now() + kDrainTime;
    std::size_t drained = 0;
    while (drained < kDrainLimit && Clock::now() < deadline) {
      error_code ec;
      const std::size_t n =
          co_await readMore(std::chrono::duration_cast<Duration>(deadline - Clock::now()), ec);
      if (ec) break;
      drained += n;
      inputStart_ = inputEnd_ = 0;
    }
  }
  stream_->close();
}

awaitable<bool> Connection::serveRequest(FilterConnection& filter, const ConnectionInfo& info) {
  const ServerLimits& limits = shared_.limits;
  RequestBody body(*this);
  auto& parser = body.parser;
  parser.header_limit(static_cast<std::uint32_t>(limits.maxHeader));
  parser.body_limit(limits.maxBody);
  Exchange exchange;
  exchange.record.remoteAddress = info.remoteAddress;
  RequestHead request;
  BodyReservation reservation(shared_.bodyMemory, limits.maxBodyMemory);

  // The head: an idle wait for its first byte, then the read timeout for the
  // whole of it. The body is read later, as the application asks for it.
  bool started = inputStart_ < inputEnd_;
  Clock::time_point deadline = Clock::now() + limits.readTimeout;
  while (!parser.is_header_done()) {
    if (inputStart_ < inputEnd_) {
      error_code ec;
      const std::size_t n =
          parser.put(asio::buffer(input_.data() + inputStart_, inputEnd_ - inputStart_), ec);
      inputStart_ += n;
      if (ec && ec != http::error::need_more) {
        co_await reject(statusForParseError(ec), exchange);
        co_return false;
      }
      if (!ec && n > 0) continue;
    }
    idle_ = !started;
    if (idle_ && shared_.stopping) {
      idle_ = false;
      co_return false;
    }
    Duration timeout = limits.idleTimeout;
    if (started) {
      timeout = std::chrono::duration_cast<Duration>(deadline - Clock::now());
      if (timeout <= Duration(0)) {
        co_await reject(408, exchange);
        co_return false;
      }
    }
    error_code ec;
    co_await readMore(timeout, ec);
    idle_ = false;
    if (ec) {
      if (started && ec == beast::error::timeout) co_await reject(408, exchange);
      co_return false;
    }
    if (!started) {
      started = true;
      deadline = Clock::now() + limits.readTimeout;
    }
  }
  exchange.meter.start(parser.get().method_string());
  const int refused = takeHead(parser.get(), request, exchange.record);
  if (refused) {
    co_await reject(refused, exchange);
    co_return false;
  }
  // HTTP/1.0 clients would need a keep-alive header that the application's
  // raw response may lack: one request per connection.
  const bool clientKeepsAlive = parser.get().version() == 11 && parser.get().keep_alive();
  body.deadline = Clock::now() + limits.bodyTimeout;
  const auto length = parser.content_length();
  if (parser.chunked() || length.value_or(0) > 0) {
    if (!shared_.application.takesBodies()) {
      body.unread = true;
      inputStart_ = inputEnd_ = 0;
    } else {
      body.blockSize = std::min<std::uint64_t>(length.value_or(kBodyBlock), kBodyBlock);
      if (!reservation.grow(body.blockSize)) {
        co_await reject(503, exchange);
        co_return false;
      }
    }
  }
  const bool bodyUnread = body.unread;

  Exchange& x = exchange;
  x.tracker = ResponseFramer(request.method == "HEAD");
  x.last = bodyUnread;
  // The framer above still knows it as HEAD and drops the body.
  if (request.method == "HEAD" && shared_.application.headAsGet()) request.method = "GET";
  exchange_ = &x;
  // While the filter reloads, new requests wait; the count lets the reload
  // know when the requests inside have finished.
  struct InFilter {
    std::atomic<int>& count;
    ~InFilter() { --count; }
  };
  for (;;) {
    ++shared_.inFilter;
    if (!shared_.filterClosed) break;
    --shared_.inFilter;
    asio::steady_timer pause(co_await asio::this_coro::executor, std::chrono::milliseconds(2));
    error_code ignored;
    co_await pause.async_wait(awaitWith(ignored));
  }
  InFilter inside{shared_.inFilter};
  filter.beginRequest(request);
  bool keep = co_await respond(filter, request, body, info, x);
  exchange_ = nullptr;
  // The filter answered the request itself: its body, never wanted, is read
  // and dropped so that the connection can go on.
  if (keep && !x.last && !bodyUnread && !body.finished() && !filter.closeRequested()) {
    BodyBlock rest;
    do rest = co_await body.next();
    while (rest.kind == BodyBlock::Data);
  }

  if (x.tracker.headDone()) {
    x.record.status = x.tracker.head().status;
    x.record.bodyBytes = x.tracker.bodyBytes();
  }
  shared_.log.write(x.record);
  x.meter.done(x.record.status, x.tracker.headDone() ? &x.tracker.head() : nullptr);

  co_return keep&& clientKeepsAlive && !bodyUnread && body.finished() && !clientGone_ &&
      !x.excess && x.tracker.done() && x.tracker.reusable() && !filter.closeRequested() &&
      !shared_.stopping;
}

awaitable<bool> Connection::respond(FilterConnection& filter, RequestHead& request,
                                    RequestBody& body, const ConnectionInfo& info, Exchange& x) {
  filter.preprocHeaders();
  BodyBlock::Kind failure = BodyBlock::End;
  std::unique_ptr<ResponseSource> source;
  if (!filter.requestFinished()) {
    try {
      source = co_await shared_.application.respond(request, body, info);
    } catch (const std::exception& e) {
      std::cerr << "vantomer: the application failed: " + std::string(e.what()) + "\n";
    }
    // A body the client broke off is answered here, whatever the
    // application made of it.
    if (body.failure != BodyBlock::End) {
      source.reset();
      failure = body.failure;
      if (!body.status) clientGone_ = true;
    } else if (!source) {
      source = textResponse(request, 500, "500 Internal Server Error\n");
    }
  }
  if (source) {
    // What the application left of the body is never read: the connection
    // cannot carry another request.
    if (!body.finished()) x.last = true;
    // While the server stops, keep-alive clients learn that this response
    // is the connection's last, instead of meeting a reset.
    if ((shared_.stopping || x.last) && !hasToken(source->head.headers, "Connection", "close")) {
      removeHeaders(source->head.headers, "Connection");
      source->head.headers.push_back({"Connection", "close"});
      source->head.format();
    }
    filter.sendResponse(source->head);
    if (!filter.requestFinished()) {
      filter.sendRawData(source->head.raw);
      if (!x.tracker.headDone()) x.meter.hold(source->head);  // the filter holds it
      bool ok = !clientGone_;
      // Once the client's response is complete (the filter answered a held
      // response early, say), the rest of the source is not read: the
      // upstream connection is closed rather than drained.
      while (ok && !filter.requestFinished() && !x.tracker.done()) {
        // What is queued waits for the next block only when that comes at
        // once, so a head and a small body leave in one write.
        if (output_.size() >= kFlushSize || !source->immediate()) ok = co_await flush();
        if (!ok) break;
        const BodyBlock block = co_await source->next();
        if (block.kind == BodyBlock::Data) {
          if (!x.tracker.headDone()) x.held += block.data.size();
          filter.sendRawData(block.data);
        } else {
          if (block.kind != BodyBlock::End) failure = block.kind;
          break;
        }
      }
    }
  }

  // When the application fails before anything reached the client, what the
  // filter makes of the broken response is dropped and the client learns of
  // the failure instead; afterwards only closing the connection can tell it.
  const bool failed = failure != BodyBlock::End;
  const bool replace = failed && x.queued == 0 && !clientGone_;
  if (failed || clientGone_) filter.discardOutput();
  // Nothing sent yet: the filter holds the response and converts it now.
  // A page of 16 KiB and more converts long enough (0.2 ms and up) to stall
  // the thread's other connections and goes to the workers; a smaller one is
  // done in about what the two hand-offs add to its request (some 50 us,
  // docs/PERFORMANCE.md).
  if (!x.tracker.headDone() && x.held >= kOffThreadHeld && !failed && !clientGone_ &&
      shared_.workers) {
    co_await asio::co_spawn(
        shared_.workers,
        [&filter]() -> awaitable<void> {
          filter.endOfRequest();
          co_return;
        },
        asio::use_awaitable);
  } else {
    filter.endOfRequest();
  }
  co_await flush();
  filter.endRequest();
  if (replace) {
    int status = failure == BodyBlock::TimedOut ? 504 : 502;
    if (body.failure != BodyBlock::End) status = body.status;
    const std::string text =
        std::to_string(status) + " " + std::string(reasonPhrase(status)) + "\n";
    error_code ec;
    co_await stream_->write(simpleResponse(status, reasonPhrase(status), text, {}, true),
                            shared_.limits.readTimeout, ec);
    x.record.status = status;
    x.record.bodyBytes = text.size();
  }
  co_return !failed;
}

}  // namespace vantomer::host
