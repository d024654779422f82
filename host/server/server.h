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
  unsigned threads = 0;  // 0: one per core
  Duration grace{30000};
  bool accessLog = true;
  std::string behind;  // what the application serves, for the start message
};

// Makes the application once the module has loaded; null with a message in
// error when it cannot.
using ApplicationFactory = std::function<std::unique_ptr<Application>(std::string& error)>;

// Runs until SIGTERM or SIGINT; the exit status.
int runServer(const ServeOptions& options, const ApplicationFactory& makeApplication);

}  // namespace vantomer::host
