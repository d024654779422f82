#pragma once
// Asio and Beast as the server uses them: coroutines, errors as values.

// Asio's awaitable header uses std::exchange without including <utility>.
#include <utility>
// (keep the line above first)

#include <boost/asio/awaitable.hpp>
#include <boost/asio/co_spawn.hpp>
#include <boost/asio/detached.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/redirect_error.hpp>
#include <boost/asio/this_coro.hpp>
#include <boost/asio/use_awaitable.hpp>
#include <chrono>

namespace vantomer::host {

namespace asio = boost::asio;
using tcp = asio::ip::tcp;
using boost::system::error_code;
template <typename T = void>
using awaitable = asio::awaitable<T>;
using Duration = std::chrono::milliseconds;

inline auto awaitWith(error_code& ec) { return asio::redirect_error(asio::use_awaitable, ec); }

}  // namespace vantomer::host
