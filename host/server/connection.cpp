#include "server/connection.h"

#include <boost/asio/steady_timer.hpp>
#include <boost/asio/this_coro.hpp>
#include <boost/beast/core/error.hpp>
#include <boost/beast/http/error.hpp>
#include <boost/beast/http/parser.hpp>
#include <boost/beast/http/string_body.hpp>
#include <cstring>
#include <iostream>

#include "binding/response_framer.h"
#include "server/memory_response.h"
#include "server/metrics.h"
#include "server/simple_response.h"

namespace vantomer::host {
namespace {

namespace beast = boost::beast;
namespace http = beast::http;
using Clock = std::chrono::steady_clock;

constexpr std::size_t kReadBlock = 16 * 1024;
constexpr std::size_t kFlushSize = 64 * 1024;
constexpr std::size_t kDrainLimit = 256 * 1024;
constexpr Duration kDrainTime{1000};
constexpr std::uint64_t kOffThreadHeld = 256 * 1024;

int statusForParseError(const error_code& ec) {
  if (ec == http::error::header_limit) return 431;
  if (ec == http::error::body_limit) return 413;
  if (ec == http::error::buffer_overflow) return 431;
  return 400;
}

// "http://host/path?q" becomes "/path?q" with the authority "host";
// anything else but an origin-form target is refused.
bool requestTarget(std::string_view target, std::string& url, std::string& authority) {
  if (!target.empty() && target.front() == '/') {
    url = std::string(target);
    return true;
  }
  for (std::string_view scheme : {"http://", "https://"}) {
    if (target.size() > scheme.size() && iequalsAscii(target.substr(0, scheme.size()), scheme)) {
      const std::size_t slash = target.find('/', scheme.size());
      url = slash == std::string_view::npos ? "/" : std::string(target.substr(slash));
      authority = std::string(target.substr(scheme.size(), slash - scheme.size()));
      return !authority.empty() && authority.find_first_of("@?#") == std::string::npos;
    }
  }
  return false;
}

std::string_view trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

// The request head as the filter and the application get it, taken when the
// head is complete, so that chunked trailers can never join it. 0, or the
// status that refuses the request.
int takeHead(const http::request<http::string_body>& message, RequestHead& request,
             AccessRecord& record) {
  request.method = std::string(message.method_string());
  const std::string_view target = message.target();
  request.version = message.version() == 10 ? "HTTP/1.0" : "HTTP/1.1";
  record.requestLine = request.method + " " + std::string(target) + " " + request.version;
  int hosts = 0;
  int codings = 0;
  bool badCoding = false;
  bool length = false;
  for (const auto& field : message) {
    const std::string_view name = field.name_string();
    // As common front ends do: X_Cookie_Stock_Key would otherwise pose as
    // X-Cookie-Stock-Key among the server variables.
    if (name.find('_') != std::string_view::npos) continue;
    if (iequalsAscii(name, "Host")) ++hosts;
    if (iequalsAscii(name, "Content-Length")) length = true;
    if (iequalsAscii(name, "Transfer-Encoding")) {
      ++codings;
      if (!iequalsAscii(trim(field.value()), "chunked")) badCoding = true;
    }
    request.headers.push_back({std::string(name), std::string(field.value())});
  }
  record.referer = findHeader(request.headers, "Referer").value_or("");
  record.userAgent = findHeader(request.headers, "User-Agent").value_or("");
  if (message.version() != 10 && message.version() != 11) return 505;
  // Any framing but exactly "chunked" would let the body run on as a second
  // request.
  if (codings > 1 || badCoding || (codings && length)) return 400;
  if (hosts > 1 || (hosts == 0 && message.version() == 11)) return 400;
  std::string authority;
  if (!requestTarget(target, request.url, authority)) return 400;
  if (!authority.empty()) {
    removeHeaders(request.headers, "Host");
    request.headers.push_back({"Host", authority});
  }
  return 0;
}

// Request body bytes of one request, counted against the bound that all
// connections share.
class BodyReservation {
 public:
  BodyReservation(std::atomic<std::uint64_t>& total, std::uint64_t limit)
      : total_(total), limit_(limit) {}
  ~BodyReservation() { total_.fetch_sub(held_); }
  BodyReservation(const BodyReservation&) = delete;
  BodyReservation& operator=(const BodyReservation&) = delete;

  // Holds at least bytes; false when that would pass the bound.
  bool grow(std::uint64_t bytes) {
    if (bytes <= held_) return true;
    const std::uint64_t more = bytes - held_;
    if (total_.fetch_add(more) + more > limit_) {
      total_.fetch_sub(more);
      return false;
    }
    held_ = bytes;
    return true;
  }

 private:
  std::atomic<std::uint64_t>& total_;
  std::uint64_t limit_;
  std::uint64_t held_ = 0;
};

}  // namespace

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
  http::request_parser<http::string_body> parser;
  parser.header_limit(static_cast<std::uint32_t>(limits.maxHeader));
  parser.body_limit(limits.maxBody);
  Exchange exchange;
  exchange.record.remoteAddress = info.remoteAddress;
  RequestHead request;
  BodyReservation reservation(shared_.bodyMemory, limits.maxBodyMemory);
  bool headTaken = false;
  bool bodyUnread = false;
  bool clientKeepsAlive = false;

  // The head: an idle wait for its first byte, then the read timeout for the
  // whole of it; the body: the read timeout for each read and the body
  // timeout for all of it, so that a trickle cannot hold the connection.
  bool started = inputStart_ < inputEnd_;
  Clock::time_point deadline = Clock::now() + limits.readTimeout;
  bool continueSent = false;
  while (!parser.is_done()) {
    if (inputStart_ < inputEnd_) {
      error_code ec;
      const std::size_t n =
          parser.put(asio::buffer(input_.data() + inputStart_, inputEnd_ - inputStart_), ec);
      inputStart_ += n;
      if (ec && ec != http::error::need_more) {
        co_await reject(statusForParseError(ec), exchange);
        co_return false;
      }
      if (parser.is_header_done() && !headTaken) {
        headTaken = true;
        exchange.meter.start(parser.get().method_string());
        const int refused = takeHead(parser.get(), request, exchange.record);
        if (refused) {
          co_await reject(refused, exchange);
          co_return false;
        }
        // HTTP/1.0 clients would need a keep-alive header that the
        // application's raw response may lack: one request per connection.
        clientKeepsAlive = parser.get().version() == 11 && parser.get().keep_alive();
        deadline = Clock::now() + limits.bodyTimeout;
        const bool hasBody = parser.chunked() || parser.content_length().value_or(0) > 0;
        if (hasBody && !shared_.application.takesBodies()) {
          bodyUnread = true;
          break;
        }
        if (!reservation.grow(parser.content_length().value_or(0))) {
          co_await reject(503, exchange);
          co_return false;
        }
      }
      if (headTaken && parser.chunked() && !reservation.grow(parser.get().body().capacity())) {
        co_await reject(503, exchange);
        co_return false;
      }
      if (!ec && n > 0) continue;
    }
    if (parser.is_header_done() && !continueSent && inputStart_ == inputEnd_) {
      continueSent = true;
      const auto& message = parser.get();
      auto expect = message.find(http::field::expect);
      if (expect != message.end() && iequalsAscii(expect->value(), "100-continue") &&
          message.version() == 11) {
        error_code ec;
        co_await stream_->write("HTTP/1.1 100 Continue\r\n\r\n", limits.readTimeout, ec);
        if (ec) co_return false;
      }
    }
    idle_ = !started;
    if (idle_ && shared_.stopping) {
      idle_ = false;
      co_return false;
    }
    Duration timeout = limits.idleTimeout;
    if (started) {
      const auto left = std::chrono::duration_cast<Duration>(deadline - Clock::now());
      if (left <= Duration(0)) {
        co_await reject(408, exchange);
        co_return false;
      }
      timeout = parser.is_header_done() ? std::min(left, limits.readTimeout) : left;
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
  if (!headTaken) co_return false;  // not reached: the parser ends after a head
  if (bodyUnread) inputStart_ = inputEnd_ = 0;

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
  std::string noBody;
  bool keep = co_await respond(filter, request, bodyUnread ? noBody : parser.get().body(), info, x);
  exchange_ = nullptr;

  if (x.tracker.headDone()) {
    x.record.status = x.tracker.head().status;
    x.record.bodyBytes = x.tracker.bodyBytes();
  }
  shared_.log.write(x.record);
  x.meter.done(x.record.status, x.tracker.headDone() ? &x.tracker.head() : nullptr);

  co_return keep&& clientKeepsAlive && !bodyUnread && !clientGone_ && !x.excess &&
      x.tracker.done() && x.tracker.reusable() && !filter.closeRequested() && !shared_.stopping;
}

awaitable<bool> Connection::respond(FilterConnection& filter, RequestHead& request,
                                    std::string& body, const ConnectionInfo& info, Exchange& x) {
  filter.preprocHeaders();
  BodyBlock::Kind failure = BodyBlock::End;
  if (!filter.requestFinished()) {
    std::unique_ptr<ResponseSource> source;
    try {
      source = co_await shared_.application.respond(request, body, info);
    } catch (const std::exception& e) {
      std::cerr << "vantomer: the application failed: " + std::string(e.what()) + "\n";
    }
    if (!source) source = textResponse(request, 500, "500 Internal Server Error\n");
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
  // A large page takes long enough to stall the thread's other connections
  // (16 MiB: some hundred milliseconds) and goes to the workers; a small one
  // converts faster than the two thread hand-offs would take.
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
    const int status = failure == BodyBlock::TimedOut ? 504 : 502;
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
