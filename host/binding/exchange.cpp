#include "binding/exchange.h"

#include <algorithm>
#include <cstdlib>
#include <string>

namespace vantomer::host {
namespace {

// A raw-data record counts its bytes in 32 bits.
constexpr std::size_t kMaxBlock = std::size_t{1} << 30;

void sendBlocks(FilterConnection& connection, std::string_view bytes, std::size_t blockSize) {
  for (std::size_t at = 0; at < bytes.size() && !connection.requestFinished(); at += blockSize)
    connection.sendRawData(bytes.substr(at, blockSize));
}

int statusOf(std::string_view statusLine) {
  const std::size_t space = statusLine.find(' ');
  if (space == std::string_view::npos) return 0;
  return std::atoi(std::string(statusLine.substr(space + 1)).c_str());
}

void readStatusLine(std::string_view line, ResponseHead& head) {
  const std::size_t first = line.find(' ');
  head.version = std::string(line.substr(0, first));
  head.status = statusOf(line);
  if (first == std::string_view::npos) return;
  const std::size_t second = line.find(' ', first + 1);
  if (second != std::string_view::npos) head.reason = std::string(line.substr(second + 1));
}

void readFieldLines(std::string_view lines, Headers& headers) {
  while (!lines.empty()) {
    const std::size_t end = lines.find("\r\n");
    const std::string_view line = lines.substr(0, end);
    lines.remove_prefix(end == std::string_view::npos ? lines.size() : end + 2);
    const std::size_t colon = line.find(':');
    if (colon == std::string_view::npos) continue;
    std::size_t value = colon + 1;
    while (value < line.size() && line[value] == ' ') ++value;
    headers.push_back({std::string(line.substr(0, colon)), std::string(line.substr(value))});
  }
}

}  // namespace

void runExchange(FilterConnection& connection, RequestHead& request, ResponseHead& response,
                 std::string_view body, std::size_t blockSize) {
  blockSize = std::clamp<std::size_t>(blockSize, 1, kMaxBlock);
  connection.beginRequest(request);
  connection.preprocHeaders();
  if (!connection.requestFinished()) {
    connection.sendResponse(response);
    sendBlocks(connection, response.raw, blockSize);
    sendBlocks(connection, body, blockSize);
  }
  connection.endOfRequest();
  connection.endRequest();
}

RawResponse splitRawResponse(std::string_view bytes) {
  RawResponse result;
  std::size_t start = 0;  // of the head being read
  for (;;) {
    const std::string_view rest = bytes.substr(start);
    const std::size_t lineEnd = rest.find("\r\n");
    const std::size_t headEnd = rest.find("\r\n\r\n");
    const int status = statusOf(rest.substr(0, lineEnd));
    // An interim head is followed by the real one.
    if (status >= 100 && status <= 199 && headEnd != std::string_view::npos &&
        headEnd + 4 < rest.size()) {
      start += headEnd + 4;
      continue;
    }
    ResponseHead& head = result.head;
    readStatusLine(rest.substr(0, lineEnd), head);
    if (lineEnd != std::string_view::npos) {
      const std::size_t fieldsEnd = headEnd == std::string_view::npos ? rest.size() : headEnd;
      if (fieldsEnd > lineEnd)
        readFieldLines(rest.substr(lineEnd + 2, fieldsEnd - lineEnd - 2), head.headers);
    }
    const std::size_t rawEnd =
        headEnd == std::string_view::npos ? bytes.size() : start + headEnd + 4;
    head.raw = std::string(bytes.substr(0, rawEnd));
    result.body = bytes.substr(rawEnd);
    return result;
  }
}

}  // namespace vantomer::host
