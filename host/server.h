#pragma once
// The serve command's server: listeners, I/O threads, graceful stop.

#include <string>
#include <vector>

#include "asio_common.h"
#include "connection.h"

namespace vantomer::host {

struct ServeOptions {
  std::string modulePath;
  std::string listenHost = "127.0.0.1";
  unsigned listenPort = 8080;
  std::string tlsCertificate;
  std::string tlsKey;
  std::string tlsListenHost = "127.0.0.1";
  unsigned tlsListenPort = 8443;
  std::string root;
  std::vector<std::string> indexFiles = {"index.tm", "index.html"};
  std::vector<Header> types;  // extension -> media type
  std::string upstream;
  UpstreamOptions upstreamOptions;
  ServerLimits limits;
  unsigned threads = 0;  // 0: one per core
  Duration grace{30000};
  bool accessLog = true;
};

// Runs until SIGTERM or SIGINT; the exit status.
int runServer(const ServeOptions& options);

}  // namespace vantomer::host
