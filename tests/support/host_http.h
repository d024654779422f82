#pragma once
// Plain-socket HTTP for the host's tests: a client that sees the exact bytes
// and framing, and a small upstream server run on threads.

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

namespace vantomer::test {

using Fields = std::vector<std::pair<std::string, std::string>>;

// The value of the first field of that name (ASCII case ignored).
std::optional<std::string> field(const Fields& fields, const std::string& name);

struct HttpResponse {
  int status = 0;
  std::string reason;
  Fields headers;
  std::string body;  // chunked coding undone
  std::string raw;   // every byte of the message as received
  bool chunked = false;
  std::optional<std::string> header(const std::string& name) const { return field(headers, name); }
};

// One client connection to 127.0.0.1.
class HttpConnection {
 public:
  explicit HttpConnection(unsigned port);
  ~HttpConnection();
  HttpConnection(const HttpConnection&) = delete;
  HttpConnection& operator=(const HttpConnection&) = delete;

  bool connected() const { return fd_ >= 0; }
  bool send(const std::string& bytes);
  // Reads one response; nullopt when the connection ends or stalls first.
  std::optional<HttpResponse> read(bool headRequest = false,
                                   std::chrono::milliseconds timeout = std::chrono::seconds(10));
  // Whether the peer closes the connection within the timeout.
  bool closedByPeer(std::chrono::milliseconds timeout = std::chrono::seconds(3));
  // Bytes received beyond the last response.
  const std::string& pending() const { return buffer_; }

 private:
  bool fill(std::chrono::steady_clock::time_point deadline);

  int fd_ = -1;
  std::string buffer_;
  bool eof_ = false;
};

// A request with its head written out: "GET /x HTTP/1.1", Host and the fields.
std::string requestText(const std::string& method, const std::string& url,
                        const Fields& fields = {}, const std::string& body = "");
// One request on a connection of its own.
std::optional<HttpResponse> fetch(unsigned port, const std::string& url, const Fields& fields = {},
                                  const std::string& method = "GET", const std::string& body = "");

struct UpstreamRequest {
  std::string method;
  std::string url;
  Fields headers;
  std::string body;  // chunked coding undone; left empty beyond kKeptBody
  std::uint64_t bodySize = 0;
  std::uint64_t bodyDigest = kNoDigest;  // bodyDigest(body), over all of it
  static constexpr std::size_t kKeptBody = 1 << 20;
  static constexpr std::uint64_t kNoDigest = 14695981039346656037ull;
  std::optional<std::string> header(const std::string& name) const { return field(headers, name); }
};

// FNV-1a, continued from digest: to compare bodies too large to keep.
std::uint64_t bodyDigest(std::string_view bytes, std::uint64_t digest = UpstreamRequest::kNoDigest);

// An upstream server on 127.0.0.1: each connection gets a thread that reads
// requests (Content-Length or chunked bodies) and hands them to the handler,
// which writes the response to the socket itself.
class TestUpstream {
 public:
  enum class After { KeepOpen, Close, Reset };
  using Handler = std::function<After(const UpstreamRequest&, int fd)>;

  // atHead, when given, sees each request before its body is read; unless
  // it returns KeepOpen, the body is never read.
  explicit TestUpstream(Handler handler, Handler atHead = nullptr);
  ~TestUpstream();

  unsigned port() const { return port_; }
  std::vector<UpstreamRequest> requests() const;
  int connections() const { return connections_; }
  // Request body bytes received so far, counted as they arrive.
  std::uint64_t bodyBytes() const { return bodyBytes_; }

  static void write(int fd, const std::string& bytes);
  // A complete response framed with Content-Length.
  static std::string response(int status, const std::string& contentType, const std::string& body,
                              const Fields& extra = {});

 private:
  void serve(int fd);

  Handler handler_;
  Handler atHead_;
  std::atomic<std::uint64_t> bodyBytes_{0};
  int listener_ = -1;
  unsigned port_ = 0;
  std::atomic<bool> stopping_{false};
  std::atomic<int> connections_{0};
  std::thread acceptor_;
  mutable std::mutex mutex_;
  std::vector<std::thread> workers_;
  std::vector<int> open_;
  std::vector<UpstreamRequest> requests_;
};

}  // namespace vantomer::test
