#include "support/host_http.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>

namespace vantomer::test {
namespace {

using Clock = std::chrono::steady_clock;

bool iequal(const std::string& a, const std::string& b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) ==
                  std::tolower(static_cast<unsigned char>(y));
         });
}

std::string trim(std::string s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.erase(0, 1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) s.pop_back();
  return s;
}

// Splits "Name: value" lines of a head (after its first line).
Fields parseFields(const std::string& head, std::string& firstLine) {
  Fields fields;
  std::size_t start = 0;
  bool first = true;
  while (start < head.size()) {
    std::size_t end = head.find("\r\n", start);
    if (end == std::string::npos) end = head.size();
    const std::string line = head.substr(start, end - start);
    start = end + 2;
    if (first) {
      firstLine = line;
      first = false;
      continue;
    }
    const std::size_t colon = line.find(':');
    if (colon == std::string::npos) continue;
    fields.emplace_back(line.substr(0, colon), trim(line.substr(colon + 1)));
  }
  return fields;
}

bool waitReadable(int fd, Clock::time_point deadline) {
  for (;;) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    if (left.count() <= 0) return false;
    pollfd p{fd, POLLIN, 0};
    const int r = ::poll(&p, 1, static_cast<int>(std::min<long long>(left.count(), 100)));
    if (r > 0) return true;
  }
}

}  // namespace

std::optional<std::string> field(const Fields& fields, const std::string& name) {
  for (const auto& [n, v] : fields)
    if (iequal(n, name)) return v;
  return std::nullopt;
}

HttpConnection::HttpConnection(unsigned port) {
  fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<uint16_t>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (::connect(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    ::close(fd_);
    fd_ = -1;
  }
}

HttpConnection::~HttpConnection() {
  if (fd_ >= 0) ::close(fd_);
}

bool HttpConnection::send(const std::string& bytes) {
  std::size_t done = 0;
  while (fd_ >= 0 && done < bytes.size()) {
    const ssize_t n = ::send(fd_, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
    if (n <= 0) return false;
    done += static_cast<std::size_t>(n);
  }
  return fd_ >= 0;
}

bool HttpConnection::fill(Clock::time_point deadline) {
  if (fd_ < 0 || eof_ || !waitReadable(fd_, deadline)) return false;
  char chunk[65536];
  const ssize_t n = ::recv(fd_, chunk, sizeof chunk, 0);
  if (n <= 0) {
    eof_ = true;
    return false;
  }
  buffer_.append(chunk, static_cast<std::size_t>(n));
  return true;
}

std::optional<HttpResponse> HttpConnection::read(bool headRequest,
                                                 std::chrono::milliseconds timeout) {
  const auto deadline = Clock::now() + timeout;
  std::size_t headEnd;
  while ((headEnd = buffer_.find("\r\n\r\n")) == std::string::npos)
    if (!fill(deadline)) return std::nullopt;
  HttpResponse response;
  std::string statusLine;
  response.headers = parseFields(buffer_.substr(0, headEnd), statusLine);
  if (statusLine.size() < 12) return std::nullopt;
  response.status = std::atoi(statusLine.substr(9, 3).c_str());
  response.reason = statusLine.size() > 13 ? statusLine.substr(13) : "";
  std::size_t at = headEnd + 4;

  const auto coding = response.header("Transfer-Encoding");
  const auto length = response.header("Content-Length");
  if (headRequest || response.status == 204 || response.status == 304) {
    // no body
  } else if (coding && iequal(*coding, "chunked")) {
    response.chunked = true;
    for (;;) {
      std::size_t lineEnd;
      while ((lineEnd = buffer_.find("\r\n", at)) == std::string::npos)
        if (!fill(deadline)) return std::nullopt;
      const std::size_t size = std::strtoul(buffer_.substr(at, lineEnd - at).c_str(), nullptr, 16);
      at = lineEnd + 2;
      if (size == 0) {
        while ((lineEnd = buffer_.find("\r\n", at)) != at) {
          if (lineEnd == std::string::npos) {
            if (!fill(deadline)) return std::nullopt;
          } else {
            at = lineEnd + 2;  // a trailer field
          }
        }
        at += 2;
        break;
      }
      while (buffer_.size() < at + size + 2)
        if (!fill(deadline)) return std::nullopt;
      response.body += buffer_.substr(at, size);
      at += size + 2;
    }
  } else if (length) {
    const std::size_t size = std::strtoul(length->c_str(), nullptr, 10);
    while (buffer_.size() < at + size)
      if (!fill(deadline)) return std::nullopt;
    response.body = buffer_.substr(at, size);
    at += size;
  } else {
    while (fill(deadline)) {
    }
    if (!eof_) return std::nullopt;
    response.body = buffer_.substr(at);
    at = buffer_.size();
  }
  response.raw = buffer_.substr(0, at);
  buffer_.erase(0, at);
  return response;
}

bool HttpConnection::closedByPeer(std::chrono::milliseconds timeout) {
  const auto deadline = Clock::now() + timeout;
  while (!eof_)
    if (!fill(deadline) && !eof_) return false;
  return true;
}

std::string requestText(const std::string& method, const std::string& url, const Fields& fields,
                        const std::string& body) {
  std::string out = method + " " + url + " HTTP/1.1\r\n";
  if (!field(fields, "Host")) out += "Host: 127.0.0.1\r\n";
  for (const auto& [n, v] : fields) out += n + ": " + v + "\r\n";
  if (!body.empty() && !field(fields, "Content-Length"))
    out += "Content-Length: " + std::to_string(body.size()) + "\r\n";
  out += "\r\n" + body;
  return out;
}

std::optional<HttpResponse> fetch(unsigned port, const std::string& url, const Fields& fields,
                                  const std::string& method, const std::string& body) {
  HttpConnection connection(port);
  if (!connection.send(requestText(method, url, fields, body))) return std::nullopt;
  return connection.read(method == "HEAD");
}

std::uint64_t bodyDigest(std::string_view bytes, std::uint64_t digest) {
  for (const char c : bytes) digest = (digest ^ static_cast<unsigned char>(c)) * 1099511628211ull;
  return digest;
}

TestUpstream::TestUpstream(Handler handler, Handler atHead)
    : handler_(std::move(handler)), atHead_(std::move(atHead)) {
  listener_ = ::socket(AF_INET, SOCK_STREAM, 0);
  const int one = 1;
  ::setsockopt(listener_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ::bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address);
  ::listen(listener_, 64);
  socklen_t size = sizeof address;
  ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &size);
  port_ = ntohs(address.sin_port);
  acceptor_ = std::thread([this] {
    while (!stopping_) {
      pollfd p{listener_, POLLIN, 0};
      if (::poll(&p, 1, 50) <= 0) continue;
      const int fd = ::accept(listener_, nullptr, nullptr);
      if (fd < 0) continue;
      ++connections_;
      std::lock_guard<std::mutex> lock(mutex_);
      open_.push_back(fd);
      workers_.emplace_back([this, fd] { serve(fd); });
    }
  });
}

TestUpstream::~TestUpstream() {
  stopping_ = true;
  acceptor_.join();
  ::close(listener_);
  std::vector<std::thread> workers;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    for (int fd : open_) ::shutdown(fd, SHUT_RDWR);
    workers.swap(workers_);
  }
  for (std::thread& t : workers) t.join();
}

std::vector<UpstreamRequest> TestUpstream::requests() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return requests_;
}

void TestUpstream::write(int fd, const std::string& bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::send(fd, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
    if (n <= 0) return;
    done += static_cast<std::size_t>(n);
  }
}

std::string TestUpstream::response(int status, const std::string& contentType,
                                   const std::string& body, const Fields& extra) {
  std::string out = "HTTP/1.1 " + std::to_string(status) + " Whatever\r\n";
  out += "Content-Type: " + contentType + "\r\n";
  for (const auto& [n, v] : extra) out += n + ": " + v + "\r\n";
  out += "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
  return out;
}

void TestUpstream::serve(int fd) {
  std::string buffer;
  char chunk[65536];
  auto fill = [&]() {
    while (!stopping_) {
      pollfd p{fd, POLLIN, 0};
      if (::poll(&p, 1, 50) <= 0) continue;
      const ssize_t n = ::recv(fd, chunk, sizeof chunk, 0);
      if (n <= 0) return false;
      buffer.append(chunk, static_cast<std::size_t>(n));
      return true;
    }
    return false;
  };
  After after = After::KeepOpen;
  while (after == After::KeepOpen) {
    std::size_t headEnd;
    bool ok = true;
    while (ok && (headEnd = buffer.find("\r\n\r\n")) == std::string::npos) ok = fill();
    if (!ok) break;
    UpstreamRequest request;
    std::string requestLine;
    request.headers = parseFields(buffer.substr(0, headEnd), requestLine);
    const std::size_t space = requestLine.find(' ');
    request.method = requestLine.substr(0, space);
    request.url = requestLine.substr(space + 1, requestLine.rfind(' ') - space - 1);
    buffer.erase(0, headEnd + 4);
    if (atHead_ && (after = atHead_(request, fd)) != After::KeepOpen) break;
    // Body bytes as they come: counted, digested, kept while small.
    auto take = [&](std::size_t n) {
      const std::string_view bytes(buffer.data(), n);
      bodyBytes_ += n;
      request.bodySize += n;
      request.bodyDigest = bodyDigest(bytes, request.bodyDigest);
      if (request.bodySize <= UpstreamRequest::kKeptBody) request.body.append(bytes);
      buffer.erase(0, n);
    };
    auto line = [&]() {
      std::size_t end;
      while (ok && (end = buffer.find("\r\n")) == std::string::npos) ok = fill();
      if (!ok) return std::string();
      std::string text = buffer.substr(0, end);
      buffer.erase(0, end + 2);
      return text;
    };
    auto bytes = [&](std::uint64_t size) {
      while (ok && size > 0) {
        if (buffer.empty() && !(ok = fill())) break;
        const std::size_t n =
            static_cast<std::size_t>(std::min<std::uint64_t>(size, buffer.size()));
        take(n);
        size -= n;
      }
    };
    if (iequal(request.header("Transfer-Encoding").value_or(""), "chunked")) {
      for (;;) {
        const std::uint64_t size = std::strtoull(line().c_str(), nullptr, 16);
        if (!ok) break;
        if (size == 0) {
          while (ok && !line().empty()) {
          }
          break;
        }
        bytes(size);
        line();
      }
    } else {
      bytes(std::strtoull(request.header("Content-Length").value_or("0").c_str(), nullptr, 10));
    }
    if (!ok) break;
    if (request.bodySize > UpstreamRequest::kKeptBody) request.body.clear();
    {
      std::lock_guard<std::mutex> lock(mutex_);
      requests_.push_back(request);
    }
    after = handler_(request, fd);
  }
  if (after == After::Reset) {
    linger hard{1, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_LINGER, &hard, sizeof hard);
  }
  std::lock_guard<std::mutex> lock(mutex_);
  std::erase(open_, fd);
  ::close(fd);
}

}  // namespace vantomer::test
