#pragma once
// What the server takes in of a request before the filter sees it: its head
// in the binding's form, checked as a server checks a client's, and the
// share its body holds of the bound all connections share.

#include <atomic>
#include <boost/beast/http/message.hpp>
#include <cstdint>

#include "binding/message_head.h"
#include "server/access_log.h"
#include "server/asio_common.h"

namespace vantomer::host {

// The status that answers a request whose head or body did not parse.
int statusForParseError(const error_code& ec);

// The request head as the filter and the application get it, taken when the
// head is complete, so that chunked trailers can never join it. 0, or the
// status that refuses the request.
int takeHead(const boost::beast::http::request_header<>& message, RequestHead& request,
             AccessRecord& record);

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

}  // namespace vantomer::host
