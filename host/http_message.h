#pragma once
// HTTP/1.1 messages as the host sees them: request heads handed to the
// filter and the application, response heads as raw bytes with their parsed
// fields, and a framer that finds where a response ends in a byte stream.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vantomer::host {

struct Header {
  std::string name;
  std::string value;
};
using Headers = std::vector<Header>;

bool iequalsAscii(std::string_view a, std::string_view b);
// The values of every header of that name, joined by separator; nullopt when none.
std::optional<std::string> findHeader(const Headers& headers, std::string_view name,
                                      std::string_view separator = ", ");
void removeHeaders(Headers& headers, std::string_view name);
// Whether a comma-separated header (Connection, Transfer-Encoding) holds the token.
bool hasToken(const Headers& headers, std::string_view name, std::string_view token);

struct RequestHead {
  std::string method;
  std::string url;  // path and query, as the application receives it
  std::string version = "HTTP/1.1";
  Headers headers;

  std::string_view path() const;
  std::string_view query() const;
};

struct ResponseHead {
  std::string version;
  int status = 0;
  std::string reason;
  Headers headers;
  std::string raw;  // status line through the empty line, as it goes out

  // Rebuilds raw from the fields.
  void format();
};

// Parses a complete head (status line, fields, empty line). Rejects what a
// proxy must not pass on: folded lines, bad names, bad status lines.
bool parseResponseHead(std::string_view raw, ResponseHead& head, std::string& error);

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

// "Mon, 02 Jan 2006 15:04:05 GMT"
std::string httpDate(std::int64_t unixSeconds);
// httpDate of the current second.
std::string currentHttpDate();
// A complete small response of the host's own (errors, redirects).
std::string simpleResponse(int status, std::string_view reason, std::string_view body,
                           const Headers& extra = {}, bool close = false);
std::string_view reasonPhrase(int status);

}  // namespace vantomer::host
