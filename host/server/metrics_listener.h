#pragma once
// The listener of `--metrics-listen`: GET /metrics in the Prometheus text
// format, 404 for anything else. It stands apart from the client
// listeners: no filter, no access log, no request metrics.

#include <string>

#include "server/asio_common.h"

namespace boost::asio {
class io_context;
}

namespace vantomer::host {

// Turns the metrics on, listens on host:port and serves from io until io
// stops; false with a message in error when it cannot listen.
bool startMetricsListener(asio::io_context& io, const std::string& host, unsigned port,
                          std::string& error);

}  // namespace vantomer::host
