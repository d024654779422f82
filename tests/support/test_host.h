#pragma once
// A small web server stand-in that drives the real module through its three
// exports, the way the host does: one module copy per FilterModule (its own
// globals, its own setting files), one HTTP_FILTER_CONTEXT per Connection,
// and per request the four notifications in the host's order.

#include <gtest/gtest.h>

#include <cstddef>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "binding/filter_connection.h"
#include "binding/filter_module.h"
#include "vantomer/httpfilt.h"

namespace vantomer::test {

using HeaderList = std::vector<std::pair<std::string, std::string>>;

// A copy of the module in a fresh temporary directory, with the given
// "Vantomer.setting" and "Emoji.setting" beside it (nullopt leaves a file
// out), loaded and given GetFilterVersion. The destructor calls
// TerminateFilter (unless terminate() did), unloads and removes the copy.
class FilterModule {
 public:
  explicit FilterModule(std::optional<std::string> settings = std::nullopt,
                        std::optional<std::string> emoji = std::nullopt);
  ~FilterModule();
  FilterModule(const FilterModule&) = delete;
  FilterModule& operator=(const FilterModule&) = delete;

  // Whether the copy could be loaded and its three exports found.
  bool opened() const { return opened_; }
  const std::string& openError() const { return openError_; }

  // What GetFilterVersion returned and filled in.
  BOOL loadResult() const { return loadResult_; }
  bool loaded() const { return opened() && loadResult_ != FALSE; }
  const HTTP_FILTER_VERSION& version() const { return module_->version(); }
  // Files of the module's directory opened while GetFilterVersion ran.
  const std::vector<std::string>& openedDuringLoad() const { return openedDuringLoad_; }

  // Calls TerminateFilter once; later calls give the first result.
  BOOL terminate();
  std::optional<BOOL> terminateResult() const { return terminateResult_; }

  const std::string& directory() const { return directory_; }
  const std::string& path() const { return path_; }
  void* symbol(const char* name) const;

  DWORD httpFilterProc(HTTP_FILTER_CONTEXT* pfc, DWORD notificationType, void* record) const;
  const host::FilterModule& module() const { return *module_; }

 private:
  std::string directory_;
  std::string path_;
  std::string openError_;
  // A copy that did not open is a module without entry points: it gets no
  // notification.
  std::unique_ptr<host::FilterModule> module_;
  bool opened_ = false;
  BOOL loadResult_ = FALSE;
  std::vector<std::string> openedDuringLoad_;
  std::optional<BOOL> terminateResult_;
};

// One request as the client sends it.
struct Request {
  std::string url = "/";  // path and query
  std::string method = "GET";
  HeaderList headers;                // names without the colon
  std::string host = "example.com";  // sent as Host unless headers has one; empty: none
  bool secure = false;
  // Served by GetServerVariable ahead of the derived ones.
  std::map<std::string, std::string> serverVariables;
  // The Content-Type the host reports when the response headers go out, in
  // place of the one it reads from the application's bytes (for responses
  // whose bytes are broken).
  std::optional<std::string> responseContentType;

  Request& header(std::string name, std::string value) {
    headers.emplace_back(std::move(name), std::move(value));
    return *this;
  }
  Request& userAgent(std::string value) { return header("User-Agent", std::move(value)); }
};

// An HTTP message split into status line, headers (in order) and body.
struct HttpMessage {
  std::string statusLine;
  HeaderList headers;
  std::string body;
  bool headComplete = false;  // the empty line that ends the head was found

  static HttpMessage parse(std::string_view bytes);
  int statusCode() const;
  std::string reasonPhrase() const;
  // The first header of that name, ignoring case.
  std::optional<std::string> header(std::string_view name) const;
  std::vector<std::string> headerValues(std::string_view name) const;
  std::vector<std::string> headerNames() const;
};

// What one request left behind.
struct Exchange {
  std::string clientBytes;             // everything the client received, in order
  HttpMessage response;                // clientBytes parsed
  std::string url;                     // URL (path and query) the application saw
  HeaderList requestHeaders;           // request headers the application saw
  std::vector<std::string> writes;     // the bytes of each WriteClient call
  std::vector<DWORD> statuses;         // every HttpFilterProc result
  void* filterContextAfter = nullptr;  // the slot after END_OF_REQUEST

  std::optional<std::string> requestHeader(std::string_view name) const;
  bool allNextNotification() const;
};

// One client connection of the host's binding: its HTTP_FILTER_CONTEXT and
// pFilterContext slot live across the requests run on it.
class Connection {
 public:
  explicit Connection(const FilterModule& module);
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;

  // Runs PREPROC_HEADERS, SEND_RESPONSE, the application's raw response as
  // SEND_RAW_DATA blocks of blockSize bytes, then END_OF_REQUEST. Memory from
  // AllocMem is freed when the request is over.
  Exchange run(const Request& request, std::string_view appResponse, std::size_t blockSize = 4096);

  HTTP_FILTER_CONTEXT& context() { return *binding_.context(); }
  void* filterContext() const { return binding_.context()->pFilterContext; }

  // Host failures to simulate.
  bool failAllocMem = false;
  bool failSetHeader = false;

 private:
  host::FilterConnection binding_;
  Exchange* exchange_ = nullptr;  // of the request being run
};

// Exactly one framed response: a status line, a head that ends, one
// Content-Length equal to the bytes that follow the head, nothing else.
::testing::AssertionResult isOneCompleteResponse(std::string_view clientBytes);

// The stock key between the first pair of default marks; empty without one.
std::string keyIn(const std::string& text);

// Text helpers for setting files and application responses.
std::string xmlEscape(std::string_view text);
// A settings file whose root holds the given elements.
std::string settingsFile(std::string_view elements);
// One NewOutputCoordinator element with the pattern and further elements.
std::string profileElement(std::string_view uaPattern, std::string_view elements = {});
// "HTTP/1.1 200 OK" with the Content-Type, the extra header lines (each
// ending in CR LF), a Content-Length, and the body.
std::string appResponse(std::string_view body,
                        std::string_view contentType = "text/x-telmark; charset=UTF-8",
                        std::string_view extraHeaderLines = {});

}  // namespace vantomer::test
