#pragma once
// A listening socket on a host name or address and a port, for the server's
// own listeners and the metrics listener alike.

#include <boost/asio/io_context.hpp>
#include <memory>
#include <string>

#include "server/asio_common.h"

namespace vantomer::host {

// Null with a message in error ("cannot resolve ..." or "cannot listen on
// HOST:PORT<purpose>: ...") when it cannot listen; endpoint is the address
// bound.
std::unique_ptr<tcp::acceptor> listenOn(asio::io_context& io, const std::string& host,
                                        unsigned port, const std::string& purpose,
                                        tcp::endpoint& endpoint, std::string& error);

}  // namespace vantomer::host
