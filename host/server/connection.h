#pragma once
// One client connection: reads requests, runs each through the filter's
// notifications and the application, and keeps the connection framed.

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

#include "binding/filter_connection.h"
#include "server/access_log.h"
#include "server/application.h"
#include "server/client_stream.h"

namespace vantomer::host {

struct ServerLimits {
  std::size_t maxHeader = 16 * 1024;
  std::uint64_t maxBody = 10 * 1024 * 1024;
  Duration idleTimeout{60000};
  Duration readTimeout{30000};
  Duration bodyTimeout{120000};  // the whole request body
  // What all connections together may hold of request bodies; beyond: 503.
  std::uint64_t maxBodyMemory = 256ull * 1024 * 1024;
};

struct ServerShared {
  const FilterModule& module;
  Application& application;
  const AccessLog& log;
  ServerLimits limits;
  std::atomic<bool> stopping{false};
  std::atomic<std::uint64_t> bodyMemory{0};
  // Where a held response is converted: long conversions must not stall the
  // other connections of an I/O thread.
  asio::any_io_executor workers;
  // Requests between their first and last notification, and whether new
  // ones must wait (a reload of the filter is under way).
  std::atomic<int> inFilter{0};
  std::atomic<bool> filterClosed{false};
};

class Connection {
 public:
  Connection(ServerShared& shared, std::unique_ptr<ClientStream> stream);
  ~Connection();

  awaitable<void> run();
  // Closes the connection when it waits for a request; call on its executor.
  void stopIfIdle();
  // Waits for a request between others (any thread may ask).
  bool idle() const { return idle_; }
  // Closes at once; call on its executor.
  void close();

 private:
  struct Exchange;
  struct RequestBody;

  awaitable<bool> serveRequest(FilterConnection& filter, const ConnectionInfo& info);
  awaitable<bool> respond(FilterConnection& filter, RequestHead& request, RequestBody& body,
                          const ConnectionInfo& info, Exchange& exchange);
  awaitable<std::size_t> readMore(Duration timeout, error_code& ec);
  awaitable<bool> flush();
  awaitable<void> reject(int status, Exchange& exchange);
  awaitable<void> finish();
  bool queue(std::string_view bytes);
  ConnectionInfo describe();

  ServerShared& shared_;
  std::unique_ptr<ClientStream> stream_;
  std::string input_;  // bytes read: [inputStart_, inputEnd_)
  std::size_t inputStart_ = 0;
  std::size_t inputEnd_ = 0;
  std::string output_;
  std::string sending_;
  std::atomic<bool> idle_{false};
  bool clientGone_ = false;
  Exchange* exchange_ = nullptr;
};

}  // namespace vantomer::host
