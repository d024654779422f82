// A whole request through the filter's dispatcher, driven in this process by
// the host binding. Input: the URL up to the first LF, the User-Agent up to
// the second, then the application's response bytes.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "binding/exchange.h"
#include "binding/filter_connection.h"
#include "binding/filter_module.h"
#include "filter/lifecycle.h"
#include "vantomer/httpfilt.h"

namespace {

namespace host = vantomer::host;

constexpr std::string_view kStockKey = "FUZZSTOCKKEY0001";

// Whether the filter held the response when its headers went out.
bool held = false;

// The dispatcher, watched: it lets every notification through and never
// lengthens a raw block.
DWORD checkedFilterProc(HTTP_FILTER_CONTEXT* pfc, DWORD notification, void* record) {
  const DWORD status = vantomer::httpFilterProc(pfc, notification, record);
  if (status != SF_STATUS_REQ_NEXT_NOTIFICATION) std::abort();
  if (notification == SF_NOTIFY_SEND_RESPONSE) held = pfc->pFilterContext != nullptr;
  if (notification == SF_NOTIFY_SEND_RAW_DATA) {
    const auto* raw = static_cast<const HTTP_FILTER_RAW_DATA*>(record);
    if (raw->cbInData > raw->cbInBuffer) std::abort();
  }
  return status;
}

// The value of the first Content-Length field of a head, or -1.
long long contentLengthOf(std::string_view head) {
  std::size_t start = head.find("\r\n");
  while (start != std::string_view::npos) {
    start += 2;
    const std::size_t end = head.find("\r\n", start);
    if (end == std::string_view::npos || end == start) break;
    const std::string_view line = head.substr(start, end - start);
    if (line.size() >= 16 && host::iequalsAscii(line.substr(0, 16), "Content-Length: "))
      return std::strtoll(std::string(line.substr(16)).c_str(), nullptr, 10);
    start = end;
  }
  return -1;
}

const host::FilterModule& loadFilter() {
  static const std::unique_ptr<host::FilterModule> module = host::FilterModule::inProcess(
      {vantomer::getFilterVersion, checkedFilterProc, vantomer::terminateFilter}, "in-process");
  if (!module->getFilterVersion()) std::abort();
  if (vantomer::moduleFilter().profiles().empty()) std::abort();  // the settings beside the binary
  return *module;
}

std::string_view takeLine(std::string_view& input) {
  const std::size_t end = input.find('\n');
  const std::string_view line = input.substr(0, end);
  input.remove_prefix(end == std::string_view::npos ? input.size() : end + 1);
  return line;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  static const host::FilterModule& module = loadFilter();

  std::string_view input(reinterpret_cast<const char*>(data), size);
  std::string url(takeLine(input));
  std::string userAgent(takeLine(input));
  url = url.substr(0, url.find('\0'));
  userAgent = userAgent.substr(0, userAgent.find('\0'));
  const std::string_view response = input;

  // One live stock, so that a URL carrying its key reaches restoration.
  vantomer::moduleFilter().cookieStocker().clear();
  std::string key(kStockKey);
  vantomer::moduleFilter().cookieStocker().capture(key, "sid=1; path=/", userAgent);

  std::string client;  // every byte that reached the client
  std::vector<std::string> writes;
  host::FilterConnection connection(module, {false, "127.0.0.1", 80, "127.0.0.1", 1024, ""},
                                    [&](std::string_view bytes) {
                                      client.append(bytes);
                                      return true;
                                    });
  connection.hooks().writes = &writes;
  host::RequestHead request{
      "GET", url, "HTTP/1.1", {{"Host", "m.example.jp"}, {"User-Agent", userAgent}}};
  // The server sends the head in one block and the body in blocks of its own.
  host::RawResponse application = host::splitRawResponse(response);
  held = false;
  host::runExchange(connection, request, application.head, application.body, 4096);
  if (connection.context()->pFilterContext != nullptr) std::abort();

  if (!held) {
    // Untouched: the client got exactly the application's bytes.
    if (client != response || !writes.empty()) std::abort();
    return 0;
  }
  // Held: one write for the head, one for the body, with a true length.
  if (writes.size() != 2) std::abort();
  if (client != writes[0] + writes[1]) std::abort();
  const std::string& head = writes[0];
  if (head.size() < 4 || head.compare(head.size() - 4, 4, "\r\n\r\n") != 0) std::abort();
  if (contentLengthOf(head) != static_cast<long long>(writes[1].size())) std::abort();
  return 0;
}
