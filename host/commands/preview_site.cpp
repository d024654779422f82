#include "commands/preview_site.h"

#include <boost/beast/core/flat_buffer.hpp>
#include <boost/beast/core/tcp_stream.hpp>
#include <boost/beast/http.hpp>

#include "server/client_stream.h"
#include "server/listen_socket.h"

namespace vantomer::host {

namespace beast = boost::beast;
namespace http = beast::http;

namespace {

// Carries the number of a fetch from the preview to its recorder; the
// application never sees it.
constexpr std::string_view kFetchHeader = "X-Vantomer-Preview-Fetch";
constexpr std::size_t kMostBytes = 16 * 1024 * 1024;
constexpr std::chrono::seconds kFetchTimeout{90};

struct Record {
  std::string bytes;
};

// Copies the application's response while the connection reads it.
class RecordingSource : public ResponseSource {
 public:
  RecordingSource(std::unique_ptr<ResponseSource> inner, std::shared_ptr<Record> record)
      : inner_(std::move(inner)), record_(std::move(record)) {
    head = inner_->head;
    record_->bytes = head.raw;
  }
  awaitable<BodyBlock> next() override {
    BodyBlock block = co_await inner_->next();
    if (block.kind == BodyBlock::Data && record_->bytes.size() < kMostBytes)
      record_->bytes.append(block.data);
    co_return block;
  }
  bool immediate() const override { return inner_->immediate(); }

 private:
  std::unique_ptr<ResponseSource> inner_;
  std::shared_ptr<Record> record_;
};

}  // namespace

class PreviewSite::Recorder : public Application {
 public:
  explicit Recorder(std::unique_ptr<Application> inner) : inner_(std::move(inner)) {}

  awaitable<std::unique_ptr<ResponseSource>> respond(const RequestHead& request, BodySource& body,
                                                     const ConnectionInfo& client) override {
    std::optional<std::string> id = findHeader(request.headers, kFetchHeader);
    if (!id) co_return co_await inner_->respond(request, body, client);
    RequestHead plain = request;
    removeHeaders(plain.headers, kFetchHeader);
    auto record = std::make_shared<Record>();
    records_[*id] = record;
    std::unique_ptr<ResponseSource> source = co_await inner_->respond(plain, body, client);
    if (!source) co_return source;
    co_return std::make_unique<RecordingSource>(std::move(source), record);
  }
  bool takesBodies() const override { return inner_->takesBodies(); }
  bool headAsGet() const override { return inner_->headAsGet(); }
  void close() override { inner_->close(); }

  std::string take(const std::string& id) {
    auto it = records_.find(id);
    if (it == records_.end()) return {};
    std::string bytes = std::move(it->second->bytes);
    records_.erase(it);
    return bytes;
  }

 private:
  std::unique_ptr<Application> inner_;
  // Touched only on the I/O thread: the connection calls respond there.
  std::map<std::string, std::shared_ptr<Record>> records_;
};

std::unique_ptr<PreviewSite> PreviewSite::start(asio::io_context& io,
                                                std::unique_ptr<FilterModule> module,
                                                std::unique_ptr<Application> application,
                                                std::string& error) {
  std::unique_ptr<PreviewSite> site(new PreviewSite());
  site->module_ = std::move(module);
  site->recorder_ = std::make_unique<Recorder>(std::move(application));
  site->log_ = std::make_unique<AccessLog>(false);
  site->workers_ = std::make_unique<asio::thread_pool>(2);
  site->shared_.reset(
      new ServerShared{*site->module_, *site->recorder_, *site->log_, ServerLimits{}, {}, {}, {}});
  site->shared_->workers = site->workers_->get_executor();
  site->acceptor_ = listenOn(io, "127.0.0.1", 0, " (the preview's site)", site->endpoint_, error);
  if (!site->acceptor_) return nullptr;
  error_code ec;
  site->endpoint_ = site->acceptor_->local_endpoint(ec);
  if (ec) {
    error = "the preview's site has no address: " + ec.message();
    return nullptr;
  }
  asio::co_spawn(io, site->accept(), asio::detached);
  return site;
}

PreviewSite::~PreviewSite() {
  if (workers_) workers_->join();
  if (recorder_) recorder_->close();
}

void PreviewSite::stop() {
  shared_->stopping = true;
  // Conversions still on the workers finish now, while the I/O context they
  // report back to still exists.
  workers_->stop();
  workers_->join();
  // The upstream connections kept for reuse belong to the I/O context too.
  recorder_->close();
  if (!acceptor_) return;
  error_code ec;
  acceptor_->close(ec);
  acceptor_.reset();
}

awaitable<void> PreviewSite::accept() {
  for (;;) {
    error_code ec;
    if (!acceptor_) co_return;
    tcp::socket socket = co_await acceptor_->async_accept(awaitWith(ec));
    if (ec == asio::error::operation_aborted || ec == asio::error::bad_descriptor || !acceptor_)
      co_return;
    if (ec) continue;
    socket.set_option(tcp::no_delay(true), ec);
    auto connection = std::make_shared<Connection>(*shared_, makePlainStream(std::move(socket)));
    asio::co_spawn(acceptor_->get_executor(), connection->run(),
                   [connection](std::exception_ptr) { connection->close(); });
  }
}

awaitable<SiteResponse> PreviewSite::fetch(SiteRequest request) {
  SiteResponse out;
  const std::string id = std::to_string(++nextId_);
  beast::tcp_stream stream(co_await asio::this_coro::executor);
  stream.expires_after(kFetchTimeout);
  error_code ec;
  co_await stream.async_connect(endpoint_, awaitWith(ec));
  if (!ec) {
    http::request<http::empty_body> head{http::verb::get, request.target, 11};
    head.set(http::field::host, request.host);
    head.set(http::field::user_agent, request.userAgent);
    head.set(http::field::connection, "close");
    head.set(kFetchHeader, id);
    co_await http::async_write(stream, head, awaitWith(ec));
  }
  http::response_parser<http::string_body> parser;
  parser.body_limit(kMostBytes);
  beast::flat_buffer buffer;
  if (!ec) co_await http::async_read(stream, buffer, parser, awaitWith(ec));
  out.application = recorder_->take(id);
  if (ec) {
    out.error = ec.message();
    co_return out;
  }
  auto& response = parser.get();
  out.status = static_cast<int>(response.result_int());
  out.reason = std::string(response.reason());
  for (const auto& field : response)
    out.headers.push_back({std::string(field.name_string()), std::string(field.value())});
  out.body = std::move(response.body());
  co_return out;
}

}  // namespace vantomer::host
