// A whole request through the filter's entry points, with a small host in
// the same process. Input: the URL up to the first LF, the User-Agent up to
// the second, then the application's response bytes.

#include <algorithm>
#include <cctype>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "filter/lifecycle.h"
#include "platform/text.h"
#include "vantomer/httpfilt.h"

namespace {

constexpr std::string_view kStockKey = "FUZZSTOCKKEY0001";

struct Request {
  std::string url;
  std::string userAgent;
  std::string responseHead;
  std::map<std::string, std::string, vantomer::text::ILess> requestHeaders;
  std::vector<std::unique_ptr<unsigned char[]>> allocations;
  std::vector<std::string> writes;
  std::string client;  // every byte that reached the client
};

Request& requestOf(HTTP_FILTER_CONTEXT* pfc) { return *static_cast<Request*>(pfc->ServerContext); }

BOOL copyOut(const std::string& value, LPVOID buffer, LPDWORD size) {
  if (!size) return FALSE;
  if (!buffer || value.size() + 1 > *size) {
    *size = static_cast<DWORD>(value.size() + 1);
    return FALSE;
  }
  std::memcpy(buffer, value.c_str(), value.size() + 1);
  *size = static_cast<DWORD>(value.size() + 1);
  return TRUE;
}

// "HTTP_X_COOKIE_STOCK_KEY" names the request header "X-Cookie-Stock-Key:".
bool headerOfVariable(const Request& request, std::string_view variable, std::string& value) {
  if (variable.substr(0, 5) != "HTTP_") return false;
  for (const auto& [name, headerValue] : request.requestHeaders) {
    std::string converted = "HTTP_";
    for (char c : name) {
      if (c == ':') break;
      converted += c == '-' ? '_' : static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    if (converted == variable) {
      value = headerValue;
      return true;
    }
  }
  return false;
}

BOOL getServerVariable(HTTP_FILTER_CONTEXT* pfc, LPSTR name, LPVOID buffer, LPDWORD size) {
  const Request& request = requestOf(pfc);
  const std::string_view variable = name ? name : "";
  std::string value;
  if (variable == "HTTP_USER_AGENT") {
    value = request.userAgent;
  } else if (variable == "URL") {
    value = request.url.substr(0, request.url.find('?'));
  } else if (variable == "HTTP_HOST") {
    value = "m.example.jp";
  } else if (variable == "HTTPS") {
    value = "off";
  } else if (!headerOfVariable(request, variable, value)) {
    return FALSE;
  }
  return copyOut(value, buffer, size);
}

BOOL getRequestHeader(HTTP_FILTER_CONTEXT* pfc, LPSTR name, LPVOID buffer, LPDWORD size) {
  const Request& request = requestOf(pfc);
  if (!name) return FALSE;
  if (std::strcmp(name, "url") == 0) return copyOut(request.url, buffer, size);
  auto it = request.requestHeaders.find(name);
  if (it == request.requestHeaders.end()) return FALSE;
  return copyOut(it->second, buffer, size);
}

BOOL setRequestHeader(HTTP_FILTER_CONTEXT* pfc, LPSTR name, LPSTR value) {
  Request& request = requestOf(pfc);
  if (!name || !value) return FALSE;
  if (std::strcmp(name, "url") == 0) {
    request.url = value;
  } else {
    request.requestHeaders[name] = value;
  }
  return TRUE;
}

// The response record only answers "Content-Type:", from the head as sent.
BOOL getResponseHeader(HTTP_FILTER_CONTEXT* pfc, LPSTR name, LPVOID buffer, LPDWORD size) {
  const Request& request = requestOf(pfc);
  if (!name || !vantomer::text::iequals(name, "Content-Type:")) return FALSE;
  std::string_view head = request.responseHead;
  std::size_t start = head.find("\r\n");
  while (start != std::string_view::npos) {
    start += 2;
    const std::size_t end = head.find("\r\n", start);
    const std::string_view line =
        head.substr(start, end == std::string_view::npos ? end : end - start);
    if (line.empty()) break;
    if (line.size() >= 13 && vantomer::text::iequals(line.substr(0, 13), "Content-Type:")) {
      std::string_view value = line.substr(13);
      while (!value.empty() && value.front() == ' ') value.remove_prefix(1);
      return copyOut(std::string(value), buffer, size);
    }
    start = end;
  }
  return FALSE;
}

void* allocMem(HTTP_FILTER_CONTEXT* pfc, DWORD size, DWORD) {
  Request& request = requestOf(pfc);
  request.allocations.push_back(std::make_unique<unsigned char[]>(size ? size : 1));
  return request.allocations.back().get();
}

// Data raw notifications for every block, as a server does, and lets out
// what the filter does not withhold.
void sendRaw(HTTP_FILTER_CONTEXT* pfc, const char* bytes, std::size_t length) {
  std::string block(bytes, length);
  HTTP_FILTER_RAW_DATA raw{block.data(), static_cast<DWORD>(block.size()),
                           static_cast<DWORD>(block.size()), 0};
  if (vantomer::httpFilterProc(pfc, SF_NOTIFY_SEND_RAW_DATA, &raw) !=
      SF_STATUS_REQ_NEXT_NOTIFICATION)
    std::abort();
  if (raw.cbInData > block.size()) std::abort();
  requestOf(pfc).client.append(static_cast<const char*>(raw.pvInData), raw.cbInData);
}

BOOL writeClient(HTTP_FILTER_CONTEXT* pfc, LPVOID buffer, LPDWORD length, DWORD) {
  if (!length || (*length && !buffer)) return FALSE;
  requestOf(pfc).writes.emplace_back(static_cast<const char*>(buffer), *length);
  sendRaw(pfc, static_cast<const char*>(buffer), *length);
  return TRUE;
}

// The value of the first Content-Length field of a head, or -1.
long long contentLengthOf(std::string_view head) {
  std::size_t start = head.find("\r\n");
  while (start != std::string_view::npos) {
    start += 2;
    const std::size_t end = head.find("\r\n", start);
    if (end == std::string_view::npos || end == start) break;
    const std::string_view line = head.substr(start, end - start);
    if (line.size() >= 16 && vantomer::text::iequals(line.substr(0, 16), "Content-Length: "))
      return std::strtoll(std::string(line.substr(16)).c_str(), nullptr, 10);
    start = end;
  }
  return -1;
}

bool loadFilter() {
  HTTP_FILTER_VERSION version{};
  version.dwServerFilterVersion = HTTP_FILTER_REVISION;
  if (!vantomer::getFilterVersion(&version)) std::abort();
  if (vantomer::moduleFilter().profiles().empty()) std::abort();  // the settings beside the binary
  return true;
}

std::string_view takeLine(std::string_view& input) {
  const std::size_t end = input.find('\n');
  const std::string_view line = input.substr(0, end);
  input.remove_prefix(end == std::string_view::npos ? input.size() : end + 1);
  return line;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  static const bool loaded = loadFilter();
  (void)loaded;

  std::string_view input(reinterpret_cast<const char*>(data), size);
  Request request;
  request.url = std::string(takeLine(input));
  request.userAgent = std::string(takeLine(input));
  request.url = request.url.substr(0, request.url.find('\0'));
  request.userAgent = request.userAgent.substr(0, request.userAgent.find('\0'));
  const std::string_view response = input;
  request.responseHead = std::string(response.substr(0, response.find("\r\n\r\n")));

  // One live stock, so that a URL carrying its key reaches restoration.
  vantomer::moduleFilter().cookieStocker().clear();
  std::string key(kStockKey);
  vantomer::moduleFilter().cookieStocker().capture(key, "sid=1; path=/", request.userAgent);

  HTTP_FILTER_CONTEXT pfc{};
  pfc.cbSize = sizeof(pfc);
  pfc.Revision = HTTP_FILTER_REVISION;
  pfc.ServerContext = &request;
  pfc.GetServerVariable = getServerVariable;
  pfc.WriteClient = writeClient;
  pfc.AllocMem = allocMem;

  HTTP_FILTER_PREPROC_HEADERS preproc{};
  preproc.GetHeader = getRequestHeader;
  preproc.SetHeader = setRequestHeader;
  preproc.AddHeader = setRequestHeader;
  if (vantomer::httpFilterProc(&pfc, SF_NOTIFY_PREPROC_HEADERS, &preproc) !=
      SF_STATUS_REQ_NEXT_NOTIFICATION)
    std::abort();

  HTTP_FILTER_SEND_RESPONSE sendResponse{};
  sendResponse.GetHeader = getResponseHeader;
  sendResponse.HttpStatus = 200;
  vantomer::httpFilterProc(&pfc, SF_NOTIFY_SEND_RESPONSE, &sendResponse);
  const bool held = pfc.pFilterContext != nullptr;

  // The server sends the head in one block and the body in blocks of its own.
  constexpr std::size_t kBlock = 4096;
  for (std::size_t at = 0; at < response.size(); at += kBlock)
    sendRaw(&pfc, response.data() + at, std::min(kBlock, response.size() - at));
  vantomer::httpFilterProc(&pfc, SF_NOTIFY_END_OF_REQUEST, nullptr);
  if (pfc.pFilterContext != nullptr) std::abort();

  if (!held) {
    // Untouched: the client got exactly the application's bytes.
    if (request.client != response || !request.writes.empty()) std::abort();
    return 0;
  }
  // Held: one write for the head, one for the body, with a true length.
  if (request.writes.size() != 2) std::abort();
  if (request.client != request.writes[0] + request.writes[1]) std::abort();
  const std::string& head = request.writes[0];
  if (head.size() < 4 || head.compare(head.size() - 4, 4, "\r\n\r\n") != 0) std::abort();
  if (contentLengthOf(head) != static_cast<long long>(request.writes[1].size())) std::abort();
  return 0;
}
