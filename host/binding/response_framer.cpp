#include "binding/response_framer.h"

#include <algorithm>
#include <optional>

namespace vantomer::host {
namespace {

int hexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

constexpr std::size_t kLineLimit = 4096;

}  // namespace

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

}  // namespace vantomer::host
