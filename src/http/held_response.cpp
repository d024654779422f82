#include "http/held_response.h"

#include <algorithm>
#include <iterator>

#include "platform/system.h"
#include "platform/text.h"

namespace vantomer {
namespace {

bool exhausted(const HeldStream& stream) {
  return stream.failed || stream.pos >= stream.data.size();
}

// Up to count bytes from the stream; nothing once it has failed.
std::string_view readHeldBytes(HeldStream& stream, std::size_t count) {
  if (exhausted(stream)) return {};
  const std::string_view bytes = stream.data.substr(stream.pos, count);
  stream.pos += bytes.size();
  return bytes;
}

// Lines are C strings to the parsers: a NUL ends them.
std::string_view cString(std::string_view line) { return line.substr(0, line.find('\0')); }

void readChunkedBody(HeldStream& stream, ResponseBody& body) {
  for (;;) {
    // A negative size ends the body like the last chunk.
    const int32_t size =
        std::max<int32_t>(0, text::parseHex32(readHeldLine(stream, kChunkLineCapacity)));
    // A chunk that announces more than remains takes what remains.
    body.append(readHeldBytes(stream, static_cast<std::size_t>(size)));
    // The CR LF after the data, or the trailer and the final empty line.
    while (!readHeldLine(stream, kChunkLineCapacity).empty()) {
    }
    if (size == 0) return;
  }
}

}  // namespace

std::string readHeldLine(HeldStream& stream, std::size_t capacity) {
  if (stream.failed) return {};
  if (stream.pos >= stream.data.size()) {
    stream.failed = true;
    return {};
  }
  const std::size_t limit = capacity > 0 ? capacity - 1 : 0;
  const std::string_view rest = stream.data.substr(stream.pos);
  const std::size_t cr = rest.find('\r');
  if (cr != std::string_view::npos && cr <= limit) {
    stream.pos += cr + 1;
    // The byte after the CR (its LF) is discarded whatever it is.
    if (stream.pos < stream.data.size()) ++stream.pos;
    return std::string(rest.substr(0, cr));
  }
  if (rest.size() <= limit) {
    stream.pos = stream.data.size();
    return std::string(rest);
  }
  // The buffer filled before the line ended.
  stream.pos += limit;
  stream.failed = true;
  stream.cut = true;
  return std::string(rest.substr(0, limit));
}

void parseStatusLine(std::string_view line, HeldResponse& response) {
  line = cString(line);
  std::size_t pos = 0;
  while (pos < line.size() && line[pos] == ' ') ++pos;
  std::size_t space = line.find(' ', pos);
  response.version.assign(
      line.substr(pos, space == std::string_view::npos ? line.npos : space - pos));
  if (space == std::string_view::npos) return;
  response.statusCode = text::parseDecimal32(line.substr(space + 1));
  space = line.find(' ', space + 1);
  if (space == std::string_view::npos) return;
  response.reasonPhrase.assign(line.substr(space + 1));
}

void parseHeaderLine(std::string_view line, HeldResponse& response) {
  line = cString(line);
  std::size_t pos = 0;
  while (pos < line.size() && line[pos] == ' ') ++pos;
  const std::size_t colon = line.find(':', pos);
  if (colon == std::string_view::npos) return;
  std::size_t valueStart = colon + 1;
  while (valueStart < line.size() && line[valueStart] == ' ') ++valueStart;
  response.headers.emplace(std::string(line.substr(pos, colon - pos)),
                           std::string(line.substr(valueStart)));
}

const char* describe(HeadProblem problem) {
  switch (problem) {
    case HeadProblem::LineTooLong:
      return "a status or header line longer than 16384 bytes";
    case HeadProblem::HeadTooLarge:
      return "a response head larger than 65536 bytes";
    case HeadProblem::None:
      break;
  }
  return "";
}

HeadProblem parseHeldResponse(std::string_view captured, HeldResponse& response,
                              ResponseBody& body) {
  response = HeldResponse();
  body.clear();
  HeldStream stream{captured};

  for (;;) {
    parseStatusLine(readHeldLine(stream, kHeadLineCapacity), response);
    response.headers.clear();
    for (;;) {
      if (stream.pos > kHeadLimit) break;
      const std::string line = readHeldLine(stream, kHeadLineCapacity);
      if (stream.cut) break;
      parseHeaderLine(line, response);
      if (line.empty()) break;
    }
    if (stream.cut || stream.pos > kHeadLimit) {
      response.headers.clear();
      return stream.cut ? HeadProblem::LineTooLong : HeadProblem::HeadTooLarge;
    }
    if (response.statusCode < 100 || response.statusCode > 199) break;
    // Interim response with nothing after it: keep it rather than read on
    // from an exhausted stream, which would never change the status.
    if (exhausted(stream)) return HeadProblem::None;
  }

  const auto encoding = findHeader(response.headers, "Transfer-Encoding");
  if (encoding != response.headers.end() && text::iequals(encoding->second, "chunked")) {
    readChunkedBody(stream, body);
    response.headers.erase(encoding);
  } else {
    body.append(readHeldBytes(stream, std::string_view::npos));
  }
  return HeadProblem::None;
}

bool isFinalWithoutBody(int32_t statusCode) { return statusCode == 204 || statusCode == 304; }

bool dropBareLineFeeds(HeldResponse& response) {
  auto hasLf = [](const std::string& text) { return text.find('\n') != std::string::npos; };
  bool found = false;
  if (hasLf(response.version)) {
    response.version = "HTTP/1.1";
    found = true;
  }
  if (hasLf(response.reasonPhrase)) found = true;
  for (auto it = response.headers.begin(); it != response.headers.end();) {
    if (hasLf(it->first) || hasLf(it->second)) {
      it = response.headers.erase(it);
      found = true;
    } else {
      ++it;
    }
  }
  return found;
}

void makeErrorResponse(HeldResponse& response, ResponseBody& body, HRESULT code) {
  response.statusCode = 500;
  response.reasonPhrase = "Internal Server Error";
  const auto contentType = findHeader(response.headers, "Content-Type");
  if (contentType != response.headers.end()) contentType->second = "text/plain";
  body = sys::messageText(code);
}

void makeBareErrorResponse(HeldResponse& response, ResponseBody& body, HRESULT code) {
  if (response.version.rfind("HTTP/", 0) != 0) response.version = "HTTP/1.1";
  response.headers.clear();
  response.headers.emplace("Content-Type", "text/plain");
  makeErrorResponse(response, body, code);
}

void makeBusyResponse(HeldResponse& response, ResponseBody& body) {
  if (response.version.rfind("HTTP/", 0) != 0) response.version = "HTTP/1.1";
  response.statusCode = 503;
  response.reasonPhrase = "Service Unavailable";
  response.headers.clear();
  response.headers.emplace("Content-Type", "text/plain");
  response.headers.emplace("Retry-After", "1");
  body = sys::messageText(E_BUSY);
}

std::string formatHead(const HeldResponse& response) {
  std::size_t size = response.version.size() + response.reasonPhrase.size() + 20;
  for (const auto& [name, value] : response.headers) size += name.size() + value.size() + 4;
  std::string head;
  head.reserve(size);
  head += response.version;
  head += ' ';
  head += std::to_string(response.statusCode);
  head += ' ';
  head += response.reasonPhrase;
  head += "\r\n";
  for (const auto& [name, value] : response.headers) {
    head += name;
    head += ": ";
    head += value;
    head += "\r\n";
  }
  head += "\r\n";
  return head;
}

void setContentLength(HeldResponse& response, const ResponseBody& body) {
  std::string length = std::to_string(body.size());
  const auto contentLength = findHeader(response.headers, "Content-Length");
  if (contentLength != response.headers.end()) {
    contentLength->second = std::move(length);
    // A second length from the application would contradict the body we
    // send; clients and proxies may frame the response by either.
    auto next = std::next(contentLength);
    while (next != response.headers.end() && text::iequals(next->first, "Content-Length"))
      next = response.headers.erase(next);
  } else {
    response.headers.emplace("Content-Length", std::move(length));
  }
}

}  // namespace vantomer
