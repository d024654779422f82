#include "http_message.h"

#include <algorithm>
#include <ctime>

namespace vantomer::host {
namespace {

char lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; }

std::string_view trimOws(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

bool isTokenChar(char c) {
  if (c >= 'a' && c <= 'z') return true;
  if (c >= 'A' && c <= 'Z') return true;
  if (c >= '0' && c <= '9') return true;
  return std::string_view("!#$%&'*+-.^_`|~").find(c) != std::string_view::npos;
}

int hexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

template <typename F>
void forEachToken(std::string_view list, F&& f) {
  while (!list.empty()) {
    const std::size_t comma = list.find(',');
    f(trimOws(list.substr(0, comma)));
    if (comma == std::string_view::npos) break;
    list.remove_prefix(comma + 1);
  }
}

constexpr std::size_t kLineLimit = 4096;

}  // namespace

bool iequalsAscii(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (lower(a[i]) != lower(b[i])) return false;
  return true;
}

std::optional<std::string> findHeader(const Headers& headers, std::string_view name,
                                      std::string_view separator) {
  std::optional<std::string> result;
  for (const Header& h : headers) {
    if (!iequalsAscii(h.name, name)) continue;
    if (result) {
      result->append(separator);
      result->append(h.value);
    } else {
      result = h.value;
    }
  }
  return result;
}

void removeHeaders(Headers& headers, std::string_view name) {
  std::erase_if(headers, [&](const Header& h) { return iequalsAscii(h.name, name); });
}

bool hasToken(const Headers& headers, std::string_view name, std::string_view token) {
  bool found = false;
  for (const Header& h : headers) {
    if (!iequalsAscii(h.name, name)) continue;
    forEachToken(h.value, [&](std::string_view t) { found = found || iequalsAscii(t, token); });
  }
  return found;
}

std::string_view RequestHead::path() const {
  std::string_view u = url;
  return u.substr(0, u.find('?'));
}

std::string_view RequestHead::query() const {
  std::string_view u = url;
  const std::size_t q = u.find('?');
  return q == std::string_view::npos ? std::string_view() : u.substr(q + 1);
}

void ResponseHead::format() {
  raw = version + " " + std::to_string(status) + " " + reason + "\r\n";
  for (const Header& h : headers) raw += h.name + ": " + h.value + "\r\n";
  raw += "\r\n";
}

bool parseResponseHead(std::string_view raw, ResponseHead& head, std::string& error) {
  head = ResponseHead{};
  std::vector<std::string_view> lines;
  while (!raw.empty()) {
    const std::size_t lf = raw.find('\n');
    std::string_view line = raw.substr(0, lf);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line.empty()) break;
    if (line.find('\r') != std::string_view::npos || line.find('\0') != std::string_view::npos) {
      error = "control character in the response head";
      return false;
    }
    lines.push_back(line);
    if (lf == std::string_view::npos) break;
    raw.remove_prefix(lf + 1);
  }
  if (lines.empty()) {
    error = "empty response head";
    return false;
  }
  std::string_view status = lines.front();
  if (status.size() < 12 || status.substr(0, 5) != "HTTP/" || status[6] != '.' ||
      hexValue(status[5]) < 0 || hexValue(status[7]) < 0 || status[5] > '9' || status[7] > '9' ||
      status[8] != ' ') {
    error = "malformed status line";
    return false;
  }
  for (int i = 9; i < 12; ++i) {
    if (status[i] < '0' || status[i] > '9') {
      error = "malformed status code";
      return false;
    }
  }
  if (status.size() > 12 && status[12] != ' ') {
    error = "malformed status line";
    return false;
  }
  head.version = std::string(status.substr(0, 8));
  head.status = (status[9] - '0') * 100 + (status[10] - '0') * 10 + (status[11] - '0');
  if (head.status < 100) {
    error = "malformed status code";
    return false;
  }
  if (status.size() > 13) head.reason = std::string(status.substr(13));
  for (std::size_t i = 1; i < lines.size(); ++i) {
    std::string_view line = lines[i];
    if (line.front() == ' ' || line.front() == '\t') {
      error = "folded header line";
      return false;
    }
    const std::size_t colon = line.find(':');
    if (colon == std::string_view::npos || colon == 0 ||
        !std::all_of(line.begin(), line.begin() + colon, isTokenChar)) {
      error = "malformed header line";
      return false;
    }
    head.headers.push_back(
        {std::string(line.substr(0, colon)), std::string(trimOws(line.substr(colon + 1)))});
  }
  return true;
}

ResponseFramer::ResponseFramer(bool headRequest, std::size_t headLimit)
    : headRequest_(headRequest), headLimit_(headLimit) {}

void ResponseFramer::fail(std::string message) {
  state_ = State::Error;
  error_ = std::move(message);
}

bool ResponseFramer::reusable() const {
  if (forceClose_ || body_ == Body::UntilClose || !headDone_) return false;
  if (head_.version == "HTTP/1.1") return !hasToken(head_.headers, "Connection", "close");
  if (head_.version == "HTTP/1.0") return hasToken(head_.headers, "Connection", "keep-alive");
  return false;
}

std::size_t ResponseFramer::feedHead(std::string_view data) {
  std::size_t skipped = 0;
  if (buffer_.empty()) {
    // Stray line ends between messages are tolerated.
    while (skipped < data.size() && (data[skipped] == '\r' || data[skipped] == '\n')) ++skipped;
    data.remove_prefix(skipped);
    if (data.empty()) return skipped;
  }
  const std::size_t before = buffer_.size();
  buffer_.append(data);
  const std::size_t from = before >= 3 ? before - 3 : 0;
  std::size_t end = std::string::npos;
  for (std::size_t i = from; i < buffer_.size(); ++i) {
    if (buffer_[i] != '\n') continue;
    if (i >= 1 && buffer_[i - 1] == '\n') {
      end = i + 1;
      break;
    }
    if (i >= 2 && buffer_[i - 1] == '\r' && buffer_[i - 2] == '\n') {
      end = i + 1;
      break;
    }
  }
  if (end == std::string::npos) {
    if (buffer_.size() > headLimit_) fail("response head too large");
    return skipped + data.size();
  }
  if (end > headLimit_) {
    fail("response head too large");
    return skipped + data.size();
  }
  const std::size_t used = skipped + (end - before);
  buffer_.resize(end);
  finishHead();
  return used;
}

void ResponseFramer::finishHead() {
  ResponseHead parsed;
  if (!parseResponseHead(buffer_, parsed, error_)) {
    state_ = State::Error;
    return;
  }
  parsed.raw = std::move(buffer_);
  buffer_.clear();
  if (parsed.status < 200) {
    if (parsed.status == 101) fail("protocol switch is not supported");
    return;  // interim response: wait for the final one
  }
  head_ = std::move(parsed);
  headDone_ = true;

  std::optional<std::string> length = findHeader(head_.headers, "Content-Length");
  std::optional<std::string> coding = findHeader(head_.headers, "Transfer-Encoding");
  if (headRequest_ || head_.status == 204 || head_.status == 304) {
    body_ = Body::None;
  } else if (coding) {
    std::string last;
    forEachToken(*coding, [&](std::string_view t) {
      if (!t.empty()) last = std::string(t);
    });
    body_ = iequalsAscii(last, "chunked") ? Body::Chunked : Body::UntilClose;
    if (length) forceClose_ = true;  // both framings given: trust neither connection state
  } else if (length) {
    std::optional<std::uint64_t> value;
    bool bad = false;
    forEachToken(*length, [&](std::string_view t) {
      if (t.empty() || t.size() > 18 ||
          !std::all_of(t.begin(), t.end(), [](char c) { return c >= '0' && c <= '9'; })) {
        bad = true;
        return;
      }
      const std::uint64_t v = std::stoull(std::string(t));
      if (value && *value != v) bad = true;
      value = v;
    });
    if (bad || !value) {
      fail("malformed Content-Length");
      return;
    }
    body_ = Body::Length;
    remaining_ = *value;
  } else {
    body_ = Body::UntilClose;
  }

  switch (body_) {
    case Body::None:
      state_ = State::Done;
      break;
    case Body::Length:
      state_ = remaining_ == 0 ? State::Done : State::Length;
      break;
    case Body::Chunked:
      state_ = State::ChunkSize;
      break;
    case Body::UntilClose:
      state_ = State::UntilClose;
      break;
  }
}

std::size_t ResponseFramer::feedLine(std::string_view data, std::size_t limit) {
  const std::size_t lf = data.find('\n');
  const std::size_t take = lf == std::string_view::npos ? data.size() : lf + 1;
  buffer_.append(data.substr(0, take));
  if (buffer_.size() > limit) fail("line too long in the response body framing");
  return take;
}

std::size_t ResponseFramer::feed(std::string_view data) {
  std::size_t used = 0;
  while (used < data.size()) {
    const std::string_view rest = data.substr(used);
    switch (state_) {
      case State::Head:
        used += feedHead(rest);
        if (headDone_ || state_ == State::Error) return used;
        break;
      case State::Length:
      case State::ChunkData: {
        const std::size_t n =
            static_cast<std::size_t>(std::min<std::uint64_t>(remaining_, rest.size()));
        used += n;
        bodyBytes_ += n;
        remaining_ -= n;
        if (remaining_ == 0) state_ = state_ == State::Length ? State::Done : State::ChunkEnd;
        break;
      }
      case State::UntilClose:
        bodyBytes_ += rest.size();
        used = data.size();
        break;
      case State::ChunkSize:
      case State::ChunkEnd:
      case State::Trailer: {
        const std::size_t n = feedLine(rest, kLineLimit);
        used += n;
        bodyBytes_ += n;
        if (state_ == State::Error || buffer_.empty() || buffer_.back() != '\n') break;
        std::string_view line = buffer_;
        line.remove_suffix(1);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (state_ == State::ChunkSize) {
          std::uint64_t size = 0;
          std::size_t digits = 0;
          while (digits < line.size() && hexValue(line[digits]) >= 0) {
            if (digits == 15) {
              fail("chunk size too large");
              return used;
            }
            size = size * 16 + static_cast<std::uint64_t>(hexValue(line[digits]));
            ++digits;
          }
          std::string_view after = trimOws(line.substr(digits));
          if (digits == 0 || (!after.empty() && after.front() != ';')) {
            fail("malformed chunk size line");
            return used;
          }
          remaining_ = size;
          state_ = size == 0 ? State::Trailer : State::ChunkData;
        } else if (state_ == State::ChunkEnd) {
          if (!line.empty()) {
            fail("chunk data longer than announced");
            return used;
          }
          state_ = State::ChunkSize;
        } else {
          trailerBytes_ += line.size();
          if (line.empty()) {
            state_ = State::Done;
          } else if (trailerBytes_ > headLimit_) {
            fail("trailer too large");
            return used;
          }
        }
        buffer_.clear();
        break;
      }
      case State::Done:
      case State::Error:
        return used;
    }
  }
  return used;
}

void ResponseFramer::closed() {
  if (state_ == State::UntilClose) {
    state_ = State::Done;
  } else if (state_ != State::Done && state_ != State::Error) {
    fail("connection closed before the end of the response");
  }
}

std::string httpDate(std::int64_t unixSeconds) {
  std::time_t t = static_cast<std::time_t>(unixSeconds);
  std::tm tm{};
  gmtime_r(&t, &tm);
  char buffer[64];
  const std::size_t n = std::strftime(buffer, sizeof buffer, "%a, %d %b %Y %H:%M:%S GMT", &tm);
  return std::string(buffer, n);
}

std::string currentHttpDate() {
  // Formatted once a second per thread: every response carries it.
  thread_local std::time_t cachedSecond = -1;
  thread_local std::string cached;
  const std::time_t now = std::time(nullptr);
  if (now != cachedSecond) {
    cached = httpDate(now);
    cachedSecond = now;
  }
  return cached;
}

std::string_view reasonPhrase(int status) {
  switch (status) {
    case 200:
      return "OK";
    case 301:
      return "Moved Permanently";
    case 304:
      return "Not Modified";
    case 400:
      return "Bad Request";
    case 403:
      return "Forbidden";
    case 404:
      return "Not Found";
    case 405:
      return "Method Not Allowed";
    case 408:
      return "Request Timeout";
    case 413:
      return "Content Too Large";
    case 414:
      return "URI Too Long";
    case 431:
      return "Request Header Fields Too Large";
    case 500:
      return "Internal Server Error";
    case 501:
      return "Not Implemented";
    case 502:
      return "Bad Gateway";
    case 503:
      return "Service Unavailable";
    case 504:
      return "Gateway Timeout";
    case 505:
      return "HTTP Version Not Supported";
    default:
      return "Unknown";
  }
}

std::string simpleResponse(int status, std::string_view reason, std::string_view body,
                           const Headers& extra, bool close) {
  std::string out = "HTTP/1.1 " + std::to_string(status) + " " + std::string(reason) + "\r\n";
  out += "Date: " + currentHttpDate() + "\r\n";
  out += "Server: vantomer\r\n";
  out += "Content-Type: text/plain; charset=utf-8\r\n";
  out += "Content-Length: " + std::to_string(body.size()) + "\r\n";
  for (const Header& h : extra) out += h.name + ": " + h.value + "\r\n";
  if (close) out += "Connection: close\r\n";
  out += "\r\n";
  out += body;
  return out;
}

}  // namespace vantomer::host
