#include "server/simple_response.h"

#include "server/http_date.h"

namespace vantomer::host {

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
