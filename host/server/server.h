#pragma once
// The serve command's server: listeners, I/O threads, graceful stop.

#include <functional>
#include <memory>
#include <string>

#include "server/asio_common.h"
#include "server/connection.h"

namespace vantomer::host {

struct ServeOptions {
  std::string modulePath;
  std::string listenHost = "127.0.0.1";
  unsigned listenPort = 8080;
  std::string tlsCertificate;
  std::string tlsKey;
  std::string tlsListenHost = "127.0.0.1";
  unsigned tlsListenPort = 8443;
  ServerLimits limits;
  unsigned threads = 0;            // 0: one per core
  std::size_t maxConnections = 0;  // 0: sized from the descriptor limit
  Duration grace{30000};
  bool accessLog = true;
  std::string behind;       // what the application serves, for the start message
  std::string metricsHost;  // empty: no metrics
  unsigned metricsPort = 0;
};

// Makes the application once the module has loaded; null with a message in
// error when it cannot.
using ApplicationFactory = std::function<std::unique_ptr<Application>(std::string& error)>;

// The connections that the descriptor limit leaves room for: each may need
// an upstream connection too, and files and listeners need some.
std::size_t defaultMaxConnections();

// Runs until SIGTERM or SIGINT; the exit status.
int runServer(const ServeOptions& options, const ApplicationFactory& makeApplication);

}  // namespace vantomer::host
