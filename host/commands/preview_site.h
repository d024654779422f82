#pragma once
// The site behind the preview: the application (a directory or an upstream)
// behind the filter module, served by the same connection code as `vantomer
// serve` on a loopback port of its own. Every page a column shows is an
// HTTP request to it; what the application answered each request is kept
// beside it for the preview's second look.

#include <boost/asio/thread_pool.hpp>
#include <map>
#include <memory>
#include <string>

#include "binding/filter_module.h"
#include "binding/headers.h"
#include "server/access_log.h"
#include "server/application.h"
#include "server/connection.h"

namespace vantomer::host {

struct SiteResponse {
  std::string error;  // why there is no response; empty when there is one
  int status = 0;
  std::string reason;
  Headers headers;
  std::string body;         // chunked coding undone
  std::string application;  // the application's response to the same request, raw
};

struct SiteRequest {
  std::string target;  // path and query
  std::string host;    // Host header
  std::string userAgent;
};

class PreviewSite {
 public:
  // Takes the loaded module and the application; listens on 127.0.0.1 at a
  // free port. Null with a message when it cannot listen.
  static std::unique_ptr<PreviewSite> start(asio::io_context& io,
                                            std::unique_ptr<FilterModule> module,
                                            std::unique_ptr<Application> application,
                                            std::string& error);
  ~PreviewSite();

  // One GET through the filter, as the handset would send it.
  awaitable<SiteResponse> fetch(SiteRequest request);
  // Stops accepting and waits for the conversions in flight; call once the
  // I/O context has stopped, before it goes.
  void stop();
  FilterModule& module() { return *module_; }

 private:
  class Recorder;
  PreviewSite() = default;
  awaitable<void> accept();

  std::unique_ptr<FilterModule> module_;
  std::unique_ptr<Recorder> recorder_;
  std::unique_ptr<AccessLog> log_;
  std::unique_ptr<ServerShared> shared_;
  std::unique_ptr<asio::thread_pool> workers_;
  std::unique_ptr<tcp::acceptor> acceptor_;
  tcp::endpoint endpoint_;
  std::uint64_t nextId_ = 0;
};

}  // namespace vantomer::host
