#pragma once
// The host side of the filter interface for one client connection: the
// HTTP_FILTER_CONTEXT with its callbacks, and one method per notification of
// a request, called in the order the interface promises (runExchange drives
// a whole request; the server calls them as its response streams). Knows
// nothing of sockets: bytes for the client go to a sink, in call order.

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "binding/connection_info.h"
#include "binding/filter_module.h"
#include "binding/message_head.h"
#include "binding/request_memory.h"
#include "binding/value_reply.h"

namespace vantomer::host {

struct ConnectionOptions {
  // AllocMem serves the first bytes of each request from a block of this
  // size that the connection keeps.
  std::size_t keptMemory = 512;
  // Capacity reserved up front for the copy of each outermost raw-data
  // block. With it, enough kept memory and a sink that does not allocate,
  // the host allocates nothing while the filter handles a notification.
  std::size_t reservedBlock = 0;
};

class FilterConnection {
 public:
  // Receives every byte for the client; false when the client is gone.
  using Sink = std::function<bool(std::string_view)>;
  // Server variables the binding does not know, from a host that has its
  // own (nginx variables); false when there is none.
  using VariableSource = std::function<bool(std::string_view name, ValueText& out)>;

  // Host failures to simulate and what to record, for tests.
  struct Hooks {
    bool failAllocMem = false;
    bool failSetHeader = false;                  // SetHeader and AddHeader of both records
    std::vector<std::string>* writes = nullptr;  // the bytes of every WriteClient call
    std::vector<DWORD>* statuses = nullptr;      // every HttpFilterProc result
    const Headers* serverVariables = nullptr;    // served ahead of the host's own
  };

  FilterConnection(const FilterModule& module, ConnectionInfo info, Sink sink,
                   ConnectionOptions options = {});
  ~FilterConnection();
  FilterConnection(const FilterConnection&) = delete;
  FilterConnection& operator=(const FilterConnection&) = delete;

  // The request stays the caller's; the filter's changes land in it.
  void beginRequest(RequestHead& request);
  // Each notification step returns the filter's status, or
  // SF_STATUS_REQ_NEXT_NOTIFICATION when the filter did not ask for it.
  DWORD preprocHeaders();
  // The head may be changed by the filter; raw is then formatted anew.
  DWORD sendResponse(ResponseHead& head);
  // One block about to go to the client; what the filter leaves of it goes
  // to the sink.
  void sendRawData(std::string_view block);
  DWORD endOfRequest();
  // Takes back what the filter took with AllocMem; the request is over.
  void endRequest();

  // What the filter changed of the request (SetHeader, AddHeader) and of
  // the response head at its notification; hosts copy back only that.
  bool urlChanged() const { return urlChanged_; }
  bool requestHeadersChanged() const { return requestHeadersChanged_; }
  bool responseHeadChanged() const { return responseChanged_; }
  // Whether blocks for the client still go through the filter: it may turn
  // raw data off for the rest of a request (SF_REQ_DISABLE_NOTIFICATIONS).
  bool wantsRawData() const;
  // The filter ended the request (SF_STATUS_REQ_FINISHED and friends).
  bool requestFinished() const { return finished_; }
  // The filter asked that the connection be closed after this request.
  bool closeRequested() const { return closeRequested_; }
  // From now on the filter's output for this request is dropped.
  void discardOutput() { discard_ = true; }
  bool discarding() const { return discard_; }

  HTTP_FILTER_CONTEXT* context() { return &context_; }
  const HTTP_FILTER_CONTEXT* context() const { return &context_; }
  const ConnectionInfo& info() const { return info_; }
  // Takes effect with the next request.
  void setInfo(ConnectionInfo info) { info_ = std::move(info); }
  std::size_t writeClientCalls() const { return writeClientCalls_; }
  Hooks& hooks() { return hooks_; }
  void setVariableSource(VariableSource source) { variables_ = std::move(source); }

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

  DWORD notify(DWORD notification, void* record);
  void rawData(std::string_view block);
  bool setRequestHeader(std::string_view name, std::string_view value, bool add);
  bool setResponseHeader(std::string_view name, std::string_view value, bool add);
  void applyAddedResponseHeaders();

  const FilterModule& module_;
  ConnectionInfo info_;
  Sink sink_;
  std::size_t reservedBlock_;
  HTTP_FILTER_CONTEXT context_{};
  HTTP_FILTER_PREPROC_HEADERS preproc_{};
  HTTP_FILTER_SEND_RESPONSE send_{};

  RequestHead* request_ = nullptr;
  ResponseHead* response_ = nullptr;
  bool urlChanged_ = false;
  bool requestHeadersChanged_ = false;
  bool responseChanged_ = false;
  bool headSent_ = false;
  std::string addedResponseHeaders_;
  RequestMemory memory_;
  int rawDepth_ = 0;
  std::vector<std::string> rawBuffers_;
  DWORD disabled_ = 0;  // notifications the filter turned off for this request
  bool finished_ = false;
  bool closeRequested_ = false;
  bool discard_ = false;
  bool clientGone_ = false;
  std::size_t writeClientCalls_ = 0;
  Hooks hooks_;
  VariableSource variables_;
};

}  // namespace vantomer::host
