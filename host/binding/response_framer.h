#pragma once
// Finds where one response ends in a byte stream, by the framing its head
// announces.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "binding/message_head.h"

namespace vantomer::host {

// Follows one response through a byte stream: the head, then the body in the
// framing the head announces (none, Content-Length, chunked, or up to the
// close of the connection). Interim 1xx responses are consumed and dropped.
class ResponseFramer {
 public:
  enum class Body { None, Length, Chunked, UntilClose };

  explicit ResponseFramer(bool headRequest = false, std::size_t headLimit = 64 * 1024);

  // Consumes bytes up to the end of the head or the end of the message,
  // whichever comes first, and returns how many. Call again with the rest.
  std::size_t feed(std::string_view data);
  // The connection closed: completes a message delimited by the close.
  void closed();

  bool headDone() const { return headDone_; }
  bool done() const { return state_ == State::Done; }
  bool failed() const { return state_ == State::Error; }
  const std::string& error() const { return error_; }
  const ResponseHead& head() const { return head_; }
  Body body() const { return body_; }
  // Whether the head lets the connection carry another message afterwards.
  bool reusable() const;
  std::uint64_t bodyBytes() const { return bodyBytes_; }

 private:
  enum class State {
    Head,
    Length,
    ChunkSize,
    ChunkData,
    ChunkEnd,
    Trailer,
    UntilClose,
    Done,
    Error
  };

  std::size_t feedHead(std::string_view data);
  std::size_t feedLine(std::string_view data, std::size_t limit);
  void finishHead();
  void fail(std::string message);

  bool headRequest_;
  std::size_t headLimit_;
  State state_ = State::Head;
  std::string buffer_;
  std::string error_;
  ResponseHead head_;
  bool headDone_ = false;
  Body body_ = Body::None;
  bool forceClose_ = false;
  std::uint64_t remaining_ = 0;
  std::uint64_t bodyBytes_ = 0;
  std::size_t trailerBytes_ = 0;
};

}  // namespace vantomer::host
