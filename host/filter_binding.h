#pragma once
// The host side of the filter interface for one client connection: the
// HTTP_FILTER_CONTEXT with its callbacks, and the notifications of each
// request in the order the interface promises. Knows nothing of sockets:
// bytes for the client go to a sink, in call order.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "filter_module.h"
#include "http_message.h"

namespace vantomer::host {

struct ConnectionInfo {
  bool secure = false;
  std::string localAddress;
  unsigned localPort = 0;
  std::string remoteAddress;
  unsigned remotePort = 0;
};

class FilterConnection {
 public:
  // Receives every byte for the client; false when the client is gone.
  using Sink = std::function<bool(std::string_view)>;

  FilterConnection(const FilterModule& module, ConnectionInfo info, Sink sink);
  ~FilterConnection();
  FilterConnection(const FilterConnection&) = delete;
  FilterConnection& operator=(const FilterConnection&) = delete;

  // The request stays the caller's; the filter's changes land in it.
  void beginRequest(RequestHead& request);
  void preprocHeaders();
  // The head may be changed by the filter; raw is then formatted anew.
  void sendResponse(ResponseHead& head);
  // One block about to go to the client; what the filter leaves of it goes
  // to the sink.
  void sendRawData(std::string_view block);
  void endOfRequest();
  // Frees what the filter took with AllocMem; the request is over.
  void endRequest();

  // The filter ended the request (SF_STATUS_REQ_FINISHED and friends).
  bool requestFinished() const { return finished_; }
  // The filter asked that the connection be closed after this request.
  bool closeRequested() const { return closeRequested_; }
  // From now on the filter's output for this request is dropped.
  void discardOutput() { discard_ = true; }
  bool discarding() const { return discard_; }

  std::optional<std::string> serverVariable(std::string_view name) const;
  HTTP_FILTER_CONTEXT* context() { return &context_; }

 private:
  static FilterConnection* self(HTTP_FILTER_CONTEXT* pfc);
  static BOOL getServerVariable(HTTP_FILTER_CONTEXT*, LPSTR, LPVOID, LPDWORD);
  static BOOL addResponseHeaders(HTTP_FILTER_CONTEXT*, LPSTR, DWORD);
  static BOOL writeClient(HTTP_FILTER_CONTEXT*, LPVOID, LPDWORD, DWORD);
  static void* allocMem(HTTP_FILTER_CONTEXT*, DWORD, DWORD);
  static BOOL serverSupportFunction(HTTP_FILTER_CONTEXT*, enum SF_REQ_TYPE, PVOID, ULONG_PTR,
                                    ULONG_PTR);
  static BOOL requestGetHeader(HTTP_FILTER_CONTEXT*, LPSTR, LPVOID, LPDWORD);
  static BOOL requestSetHeader(HTTP_FILTER_CONTEXT*, LPSTR, LPSTR);
  static BOOL requestAddHeader(HTTP_FILTER_CONTEXT*, LPSTR, LPSTR);
  static BOOL responseGetHeader(HTTP_FILTER_CONTEXT*, LPSTR, LPVOID, LPDWORD);
  static BOOL responseSetHeader(HTTP_FILTER_CONTEXT*, LPSTR, LPSTR);
  static BOOL responseAddHeader(HTTP_FILTER_CONTEXT*, LPSTR, LPSTR);

  void notify(DWORD notification, void* record);
  void rawData(std::string_view block);
  std::optional<std::string> requestHeader(std::string_view name) const;
  bool setRequestHeader(std::string_view name, std::string_view value, bool add);
  bool setResponseHeader(std::string_view name, std::string_view value, bool add);
  void applyAddedResponseHeaders();

  const FilterModule& module_;
  ConnectionInfo info_;
  Sink sink_;
  HTTP_FILTER_CONTEXT context_{};
  HTTP_FILTER_PREPROC_HEADERS preproc_{};
  HTTP_FILTER_SEND_RESPONSE send_{};

  RequestHead* request_ = nullptr;
  ResponseHead* response_ = nullptr;
  bool responseChanged_ = false;
  bool headSent_ = false;
  std::string addedResponseHeaders_;
  std::vector<std::unique_ptr<unsigned char[]>> memory_;
  std::size_t memoryBytes_ = 0;
  int rawDepth_ = 0;
  std::vector<std::string> rawBuffers_;
  bool finished_ = false;
  bool closeRequested_ = false;
  bool discard_ = false;
  bool clientGone_ = false;
};

// Copies value and NUL into the caller's buffer when it fits; otherwise FALSE
// with the size needed in *size.
BOOL copyOut(const std::string& value, LPVOID buffer, LPDWORD size);

}  // namespace vantomer::host
